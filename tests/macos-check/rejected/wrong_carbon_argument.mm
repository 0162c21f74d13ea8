// expect: no matching function for call to 'RegisterEventHotKey'
#import <Carbon/Carbon.h>

void grab() {
  EventHotKeyRef reference = nullptr;
  const EventHotKeyID id = {0, 1};
  RegisterEventHotKey(49, 0x100, id, GetApplicationEventTarget(), &reference);
}
