#pragma once
// The clipboard and drag and drop, bridged to the desktop. A data object is an IDataObject on our
// side and the toolkit's MIME data on the desktop's: CF_HDROP travels as text/uri-list (file URLs),
// CF_UNICODETEXT as text/plain, and every registered format as a MIME type of its own, so that our
// own formats pass between our windows and processes unchanged. Inside the process the original
// object is handed through. GUI thread only.

#include "platform/ole/DataTransfer.h"

namespace pf {

// ---- the clipboard, as the platform's functions ----
// Opening is for the program as a whole; `owner` is only remembered.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Clears the clipboard; what SetClipboardData places until CloseClipboard replaces it then.
BOOL EmptyClipboard();
// The clipboard takes the block (freed when the clipboard changes); answers it, or nil when the
// clipboard is not open.
HGLOBAL SetClipboardData(UINT format, HGLOBAL data);
// A block owned by the clipboard, valid until the clipboard changes; nil when it is not open or
// does not hold the format.
HGLOBAL GetClipboardData(UINT format);

// ---- the clipboard through data objects ----
// Places the object (keeping a reference until the clipboard changes); nil empties the clipboard.
HRESULT OleSetClipboard(IDataObject* dataObject);
// The clipboard as a data object: our own object when it is ours, a view of the desktop's data
// otherwise.
HRESULT OleGetClipboard(IDataObject** out);
// Leaves the data on the clipboard but lets go of our object: every format is rendered now.
HRESULT OleFlushClipboard();
// S_OK when this object is on the clipboard now, S_FALSE otherwise.
HRESULT OleIsCurrentClipboard(IDataObject* dataObject);

// ---- drag and drop ----
// One target per window; its four methods are called synchronously from the desktop's drag events
// over the window (and over its children that have no target of their own).
HRESULT RegisterDragDrop(HWND window, IDropTarget* target);
HRESULT RevokeDragDrop(HWND window);
// Runs a layer loop until the drag ends: posted messages, painting and timers go on; mouse and key
// input drive the drag. Targets of this process under the pointer are called directly with this
// very object; once the pointer leaves the program's windows the drag is handed to the desktop.
// Answers DRAGDROP_S_DROP or DRAGDROP_S_CANCEL with the effect, or an error.
HRESULT DoDragDrop(IDataObject* dataObject, IDropSource* source, DWORD okEffects, DWORD* effect);

namespace ole::testing {
// Windows with a registered drop target.
int RegisteredTargets();
// Whether a drag image shows under the pointer now, and where (screen coordinates).
bool DragImageOnScreen(TRect* bounds);
}  // namespace ole::testing

}  // namespace pf
