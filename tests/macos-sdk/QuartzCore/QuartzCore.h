// Declarations only, for the syntax-and-types check of the macOS sources: the part of Core
// Animation they use, with the signatures of Apple's documentation.
#pragma once

#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>

@interface CALayer : NSObject
@property(strong) id contents;
@end
