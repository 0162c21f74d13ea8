#include "platform/macos/main_loop_embedding.hpp"

#import <CoreFoundation/CoreFoundation.h>

#include "platform/main_loop.hpp"

namespace glimmet {

struct MainLoopEmbedding::Sources {
  MainLoop& loop;
  CFFileDescriptorRef descriptor = nullptr;
  CFRunLoopSourceRef descriptorSource = nullptr;
  CFRunLoopTimerRef timer = nullptr;

  // Runs what is ready, then waits again: the descriptor's callbacks are one-shot, and the
  // loop's next timer may have moved.
  void runOnceAndRearm() {
    loop.runOnce();
    CFFileDescriptorEnableCallBacks(descriptor, kCFFileDescriptorReadCallBack);
    const int timeout = loop.timeoutMilliseconds();
    // Nothing scheduled: the timer sleeps until the descriptor wakes the loop.
    const CFAbsoluteTime next = timeout < 0 ? CFAbsoluteTimeGetCurrent() + kDistantSeconds
                                            : CFAbsoluteTimeGetCurrent() + timeout / 1000.0;
    CFRunLoopTimerSetNextFireDate(timer, next);
  }

  static constexpr CFTimeInterval kDistantSeconds = 3600.0 * 24 * 365;
};

namespace {

void descriptorReadable(CFFileDescriptorRef, CFOptionFlags, void* info) {
  static_cast<MainLoopEmbedding::Sources*>(info)->runOnceAndRearm();
}

void timerFired(CFRunLoopTimerRef, void* info) {
  static_cast<MainLoopEmbedding::Sources*>(info)->runOnceAndRearm();
}

}  // namespace

MainLoopEmbedding::MainLoopEmbedding(MainLoop& loop)
    : sources_(std::make_unique<Sources>(Sources{loop})) {
  CFFileDescriptorContext descriptorContext = {0, sources_.get(), nullptr, nullptr, nullptr};
  sources_->descriptor = CFFileDescriptorCreate(kCFAllocatorDefault, loop.backendDescriptor(),
                                                false, descriptorReadable, &descriptorContext);
  sources_->descriptorSource =
      CFFileDescriptorCreateRunLoopSource(kCFAllocatorDefault, sources_->descriptor, 0);
  CFRunLoopAddSource(CFRunLoopGetMain(), sources_->descriptorSource, kCFRunLoopCommonModes);

  CFRunLoopTimerContext timerContext = {0, sources_.get(), nullptr, nullptr, nullptr};
  sources_->timer = CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent(),
                                         Sources::kDistantSeconds, 0, 0, timerFired, &timerContext);
  CFRunLoopAddTimer(CFRunLoopGetMain(), sources_->timer, kCFRunLoopCommonModes);
  sources_->runOnceAndRearm();
}

MainLoopEmbedding::~MainLoopEmbedding() {
  CFRunLoopTimerInvalidate(sources_->timer);
  CFRelease(sources_->timer);
  CFRunLoopSourceInvalidate(sources_->descriptorSource);
  CFRelease(sources_->descriptorSource);
  CFFileDescriptorInvalidate(sources_->descriptor);
  CFRelease(sources_->descriptor);
}

}  // namespace glimmet
