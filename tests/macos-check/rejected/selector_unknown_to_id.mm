// expect: no known instance method for selector 'removeFromCenter'
#import <Foundation/Foundation.h>

void forget(id observer) {
  [observer removeFromCenter];
}
