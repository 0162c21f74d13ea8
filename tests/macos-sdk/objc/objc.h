// Declarations only, for the syntax-and-types check of the macOS sources: the Objective-C
// runtime basics those sources rely on, as <objc/objc.h> and <objc/NSObject.h> state them.
#pragma once

typedef signed char BOOL;
#define YES ((BOOL)1)
#define NO ((BOOL)0)
#define nil nullptr
#define Nil nullptr

#define NS_ENUM(type, name) \
  type name;                \
  enum : type
#define NS_OPTIONS(type, name) \
  type name;                   \
  enum : type
#define NS_SWIFT_NAME(name)
#define API_AVAILABLE(...)
#define NS_TYPED_EXTENSIBLE_ENUM

typedef long NSInteger;
typedef unsigned long NSUInteger;

@class NSString;

@protocol NSObject
- (BOOL)isKindOfClass:(Class)aClass;
@end

__attribute__((objc_root_class))
@interface NSObject<NSObject> {
  Class isa;
}
+ (instancetype)alloc;
+ (instancetype)new;
- (instancetype)init;
+ (Class)class;
- (BOOL)isKindOfClass:(Class)aClass;
@end
