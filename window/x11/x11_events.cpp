// Events: input, the window manager's messages, and the moves a press starts.

#include "window/x11/x11_window.h"

#include <X11/Xatom.h>

#include <algorithm>

namespace brumo::x11 {

void X11Window::HandleEvents() {
  if (!conn_.TakeIn()) return;
  XEvent ev;
  while (loop_.Running() && conn_.Next(ev)) Dispatch(ev);
}

// On every tick while a move handed to the manager may outlive its button.
void X11Window::AfterTick() {
  if (handed_move_.pending) WatchHandedMove();
}

void X11Window::Dispatch(XEvent& ev) {
  switch (ev.type) {
    case Expose:
      painter_.CopyToWindow(ev.xexpose.x, ev.xexpose.y, ev.xexpose.width, ev.xexpose.height);
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
    case LeaveNotify:
      OnLeave(ev.xcrossing);
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
    case MapNotify:
      OnMapped();
      break;
    case ReparentNotify:
      OnReparented(ev.xreparent.parent);
      break;
    case ConfigureNotify:
      // Moved: while a move handed to the manager may outlive its button, see whether it has.
      if (handed_move_.pending) WatchHandedMove();
      break;
    case PropertyNotify:
      OnPropertyChange(ev.xproperty);
      break;
    case VisibilityNotify:
      // Covered by another window, under a manager that does not keep the clock above.
      if (raise_self_ && ev.xvisibility.state != VisibilityUnobscured) {
        XRaiseWindow(conn_.dpy(), window_.id);
        conn_.WillSend();
      }
      break;
    default:
      break;
  }
}

void X11Window::OnButtonPress(const XButtonEvent& ev) {
  const std::optional<MouseButton> button = ButtonFromX(ev.button);
  if (!button || own_move_.active) return;
  press_ = {ev.x_root, ev.y_root, ev.x_root - ev.x, ev.y_root - ev.y, ev.button, ev.time};
  handed_move_.pending = false;
  clock_.Press(ev.x - layout_.frame, ev.y - layout_.frame, *button, MaskFromState(ev.state));
}

void X11Window::OnButtonRelease(const XButtonEvent& ev) {
  const std::optional<MouseButton> button = ButtonFromX(ev.button);
  if (!button) return;
  if (own_move_.active) {
    if (ev.button == own_move_.button) {
      own_move_.active = false;
      if (own_move_.grabbed) {
        XUngrabPointer(conn_.dpy(), ev.time);
        conn_.WillSend();
      }
    }
    return;
  }
  if (handed_move_.pending && ev.button == handed_move_.button) {
    // A click too quick for the window manager: its move would wait for a release that has
    // already happened, and drag the window after the pointer until the next click.
    handed_move_.pending = false;
    SendMoveResize(kMoveResizeCancel);
    conn_.WillSend();
  }
  clock_.Release(ev.x - layout_.frame, ev.y - layout_.frame, *button, MaskFromState(ev.state));
}

void X11Window::OnMotion(const XMotionEvent& ev) {
  if (handed_move_.pending) {
    StepHandedMove(ev.state, ev.x_root - ev.x, ev.y_root - ev.y, ev.x_root, ev.y_root);
  } else if (own_move_.active) {
    FollowPointer(ev.x_root, ev.y_root);
  }
}

void X11Window::OnLeave(const XCrossingEvent& ev) {
  if (handed_move_.pending &&
      PointerTakenByLeave(ev.mode, ev.x, ev.y, layout_.WindowWidth(), layout_.WindowHeight())) {
    handed_move_.taken = true;
  }
}

void X11Window::OnKeyPress(XKeyEvent& ev) {
  // Index 0: the key's own symbol, whatever the modifiers held.
  const KeySym sym = XLookupKeysym(&ev, 0);
  clock_.Key(KeyCodeFromKeysym(sym), MaskFromState(ev.state));
}

void X11Window::OnClientMessage(const XClientMessageEvent& ev) {
  if (ev.message_type == conn_.atom(kWmProtocols) && ev.format == 32 &&
      static_cast<::Atom>(ev.data.l[0]) == conn_.atom(kWmDeleteWindow)) {
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
  XSendEvent(conn_.dpy(), ev.requestor, False, NoEventMask, &reply);
  conn_.WillSend();
}

// --- Moves -------------------------------------------------------------------------------------

void X11Window::Sposta() {
  Display* dpy = conn_.dpy();
  // A manager that ended may leave its _NET_SUPPORTED behind, but never its WM_Sn selection.
  if (XGetSelectionOwner(dpy, conn_.ManagerSelection()) != None &&
      ManagerSupports(kNetWmMoveResize)) {
    // Give up the press's implicit grab so that the window manager can take the pointer.
    XUngrabPointer(dpy, press_.time);
    SendMoveResize(kMoveResizeMove);
    handed_move_ = {true, press_.button, false, MonotonicNow()};
    XFlush(dpy);
    return;
  }
  // No window manager to hand the move to: keep the press's grab and follow the pointer until
  // the button comes up.
  int x = 0, y = 0;
  ::Window child = 0;
  XTranslateCoordinates(dpy, window_.id, conn_.root(), 0, 0, &x, &y, &child);
  own_move_ = {true, press_.button, press_.x_root, press_.y_root, x, y, false};
}

void X11Window::FollowPointer(int x_root, int y_root) {
  XMoveWindow(conn_.dpy(), window_.id, own_move_.window_x + x_root - own_move_.pointer_x,
              own_move_.window_y + y_root - own_move_.pointer_y);
  conn_.WillSend();
}

// Sends the window manager a _NET_WM_MOVERESIZE request for the press being handled.
void X11Window::SendMoveResize(long direction) {
  SendClientMessage(kNetWmMoveResize, {press_.x_root, press_.y_root, direction,
                                       static_cast<long>(press_.button), kSourceApplication});
}

// A move ends with its button: some managers end theirs only on the release of the buttons they
// move with themselves, and would otherwise drag the window after the pointer until the next
// click. Once the manager has the pointer the clock sees no release, so while the move lasts it
// asks the server whether the button is still down (a round trip on each tick and each step of
// the move, and none once it is over).
void X11Window::WatchHandedMove() {
  const unsigned int mask = ButtonMaskOf(handed_move_.button);
  if (mask == 0) {
    handed_move_.pending = false;  // a button the server does not report: nothing to watch
    return;
  }
  ::Window root = 0, child = 0;
  int root_x = 0, root_y = 0, x = 0, y = 0;
  unsigned int state = 0;
  if (!XQueryPointer(conn_.dpy(), window_.id, &root, &child, &root_x, &root_y, &x, &y, &state))
    return;
  StepHandedMove(state, root_x - x, root_y - y, root_x, root_y);
}

// Where the window is and which buttons are down, seen in an event or by the look above, tell
// whether the manager took the move. One that has not, in its time, is left out of it: the
// clock grabs the pointer, which a manager that has it already refuses, and follows it from
// where the press began.
void X11Window::StepHandedMove(unsigned int state, int window_x, int window_y, int x_root,
                               int y_root) {
  const HandOffStep step =
      NextHandOffStep({(state & ButtonMaskOf(handed_move_.button)) != 0,
                       window_x != press_.window_x || window_y != press_.window_y,
                       handed_move_.taken, MonotonicNow() - handed_move_.since});
  switch (step) {
    case HandOffStep::kWait:
      break;
    case HandOffStep::kManagerMoves:
      handed_move_.taken = true;
      break;
    case HandOffStep::kOver:
      handed_move_.pending = false;
      SendMoveResize(kMoveResizeCancel);
      conn_.WillSend();
      break;
    case HandOffStep::kMoveSelf:
      if (XGrabPointer(conn_.dpy(), window_.id, False, ButtonReleaseMask | ButtonMotionMask,
                       GrabModeAsync, GrabModeAsync, None, None, CurrentTime) != GrabSuccess) {
        handed_move_.taken = true;
        break;
      }
      handed_move_.pending = false;
      own_move_ = {true,          press_.button,   press_.x_root,
                   press_.y_root, press_.window_x, press_.window_y,
                   true};
      FollowPointer(x_root, y_root);
      break;
  }
}

}  // namespace brumo::x11
