// expect: 'WebKit/WebKit.h' file not found
#import <WebKit/WebKit.h>
