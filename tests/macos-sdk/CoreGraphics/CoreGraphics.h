// Declarations only, for the syntax-and-types check of the macOS sources: the part of
// CoreGraphics they use, with the signatures of Apple's documentation.
#pragma once

#import <CoreFoundation/CoreFoundation.h>

typedef double CGFloat;
struct CGPoint {
  CGFloat x;
  CGFloat y;
};
typedef struct CGPoint CGPoint;
struct CGSize {
  CGFloat width;
  CGFloat height;
};
typedef struct CGSize CGSize;
struct CGRect {
  CGPoint origin;
  CGSize size;
};
typedef struct CGRect CGRect;
extern const CGRect CGRectZero;
bool CGRectMakeWithDictionaryRepresentation(CFDictionaryRef dict, CGRect* rect);

typedef struct CGColorSpace* CGColorSpaceRef;
typedef struct CGDataProvider* CGDataProviderRef;
typedef struct CGImage* CGImageRef;

CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
void CGColorSpaceRelease(CGColorSpaceRef space);
CGDataProviderRef CGDataProviderCreateWithCFData(CFDataRef data);
void CGDataProviderRelease(CGDataProviderRef provider);

typedef uint32_t CGImageAlphaInfo;
enum : CGImageAlphaInfo { kCGImageAlphaPremultipliedFirst = 2 };
typedef uint32_t CGBitmapInfo;
enum : CGBitmapInfo { kCGBitmapByteOrder32Little = 2 << 12 };
typedef int32_t CGColorRenderingIntent;
enum : int32_t { kCGRenderingIntentDefault = 0 };
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat* decode, bool shouldInterpolate,
                         CGColorRenderingIntent intent);
void CGImageRelease(CGImageRef image);

typedef uint32_t CGWindowID;
typedef uint32_t CGWindowListOption;
enum : uint32_t { kCGNullWindowID = 0 };
enum : uint32_t {
  kCGWindowListOptionOnScreenOnly = 1 << 0,
  kCGWindowListExcludeDesktopElements = 1 << 4,
};
CFArrayRef CGWindowListCopyWindowInfo(CGWindowListOption option, CGWindowID relativeToWindow);
extern const CFStringRef kCGWindowOwnerPID;
extern const CFStringRef kCGWindowLayer;
extern const CFStringRef kCGWindowAlpha;
extern const CFStringRef kCGWindowIsOnscreen;
extern const CFStringRef kCGWindowBounds;
