// Events: input, the window manager's messages, and the moves a press starts.

#include "window/x11/x11_window.h"

#include <X11/Xatom.h>

#include <algorithm>

namespace brumo::x11 {

void X11Window::DispatchQueued() {
  Display* dpy = dpy_.get();
  while (running_ && QLength(dpy) > 0) {
    XEvent ev;
    XNextEvent(dpy, &ev);
    Dispatch(ev);
  }
}

void X11Window::Dispatch(XEvent& ev) {
  switch (ev.type) {
    case Expose:
      CopyToWindow(ev.xexpose.x, ev.xexpose.y, ev.xexpose.width, ev.xexpose.height);
      flush_ = true;
      break;
    case ButtonPress:
      OnButtonPress(ev.xbutton);
      break;
    case ButtonRelease:
      OnButtonRelease(ev.xbutton);
      break;
    case MotionNotify:
      OnMotion(ev.xmotion);
      break;
    case KeyPress:
      OnKeyPress(ev.xkey);
      break;
    case ClientMessage:
      OnClientMessage(ev.xclient);
      break;
    case SelectionRequest:
      RefuseSelectionRequest(ev.xselectionrequest);
      break;
    case MappingNotify:
      XRefreshKeyboardMapping(&ev.xmapping);
      break;
    case PropertyNotify:
      OnPropertyNotify(ev.xproperty);
      break;
    default:
      break;
  }
}

void X11Window::OnButtonPress(const XButtonEvent& ev) {
  const std::optional<MouseButton> button = ButtonFromX(ev.button);
  if (!button || own_move_.active) return;
  press_ = {ev.x_root, ev.y_root, ev.button, ev.time};
  handed_move_.pending = false;
  clock_.Press(ev.x - layout_.frame, ev.y - layout_.frame, *button, MaskFromState(ev.state));
}

void X11Window::OnButtonRelease(const XButtonEvent& ev) {
  const std::optional<MouseButton> button = ButtonFromX(ev.button);
  if (!button) return;
  if (own_move_.active) {
    if (ev.button == own_move_.button) own_move_.active = false;
    return;
  }
  if (handed_move_.pending && ev.button == handed_move_.button) {
    // A click too quick for the window manager: its move would wait for a release that has
    // already happened, and drag the window after the pointer until the next click.
    handed_move_.pending = false;
    SendMoveResize(kMoveResizeCancel);
    flush_ = true;
  }
  clock_.Release(ev.x - layout_.frame, ev.y - layout_.frame, *button, MaskFromState(ev.state));
}

void X11Window::OnMotion(const XMotionEvent& ev) {
  if (!own_move_.active) return;
  XMoveWindow(dpy_.get(), window_, own_move_.window_x + ev.x_root - own_move_.pointer_x,
              own_move_.window_y + ev.y_root - own_move_.pointer_y);
  flush_ = true;
}

void X11Window::OnKeyPress(XKeyEvent& ev) {
  // Index 0: the key's own symbol, whatever the modifiers held.
  const KeySym sym = XLookupKeysym(&ev, 0);
  clock_.Key(KeyCodeFromKeysym(sym), MaskFromState(ev.state));
}

void X11Window::OnClientMessage(const XClientMessageEvent& ev) {
  if (ev.message_type == atoms_[kWmProtocols] && ev.format == 32 &&
      static_cast<::Atom>(ev.data.l[0]) == atoms_[kWmDeleteWindow]) {
    Close();
  }
}

// The instance selection holds no data: any request to convert it is answered with a refusal
// (ICCCM), so that the asking client does not wait for ever.
void X11Window::RefuseSelectionRequest(const XSelectionRequestEvent& ev) {
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = ev.requestor;
  reply.xselection.selection = ev.selection;
  reply.xselection.target = ev.target;
  reply.xselection.property = None;
  reply.xselection.time = ev.time;
  XSendEvent(dpy_.get(), ev.requestor, False, NoEventMask, &reply);
  flush_ = true;
}

// --- Moves -------------------------------------------------------------------------------------

bool X11Window::WindowManagerMoves() {
  Display* dpy = dpy_.get();
  if (XGetSelectionOwner(dpy, wm_selection_) == None) return false;
  ::Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(dpy, root_, atoms_[kNetSupported], 0, 4096, False, XA_ATOM, &type, &format,
                         &count, &after, &data) == Success &&
      data != nullptr) {
    if (type == XA_ATOM && format == 32) {
      const auto* atoms = reinterpret_cast<const ::Atom*>(data);
      found = std::find(atoms, atoms + count, atoms_[kNetWmMoveResize]) != atoms + count;
    }
    XFree(data);
  }
  return found;
}

void X11Window::Sposta() {
  Display* dpy = dpy_.get();
  if (WindowManagerMoves()) {
    // Give up the press's implicit grab so that the window manager can take the pointer.
    XUngrabPointer(dpy, press_.time);
    SendMoveResize(kMoveResizeMove);
    handed_move_ = {true, press_.button};
    XFlush(dpy);
    return;
  }
  // No window manager to hand the move to: keep the press's grab and follow the pointer until
  // the button comes up.
  int x = 0, y = 0;
  ::Window child = 0;
  XTranslateCoordinates(dpy, window_, root_, 0, 0, &x, &y, &child);
  own_move_ = {true, press_.button, press_.x_root, press_.y_root, x, y};
}

// Sends the window manager a _NET_WM_MOVERESIZE request for the press being handled.
void X11Window::SendMoveResize(long direction) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window_;
  ev.xclient.message_type = atoms_[kNetWmMoveResize];
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = press_.x_root;
  ev.xclient.data.l[1] = press_.y_root;
  ev.xclient.data.l[2] = direction;
  ev.xclient.data.l[3] = static_cast<long>(press_.button);
  ev.xclient.data.l[4] = kSourceApplication;
  XSendEvent(dpy_.get(), root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
}

}  // namespace brumo::x11
