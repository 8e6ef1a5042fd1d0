#pragma once
// The order core's model routines that need windows: the warning picture and the combo boxes whose
// items carry a value in their object slot (the paper combo boxes keep the paper's ordinal there).

#include "platform/gdi/Bitmap.h"

namespace pf {
class TComboBox;
}

namespace order {

// The object of the combo box's selected item; nil when no item is selected.
pf::TObject* GetComboObject(pf::TComboBox* Combo);
// Selects the first item whose object's low 8 bits equal Value's; item 0 when there is none.
void SelectComboObject(pf::TComboBox* Combo, pf::TObject* Value);

// Loaded at start-up from the program's embedded resource "WARNING" (type RCDATA, a PNG); an empty
// picture when the program carries no such resource. Null before start-up and after shut-down.
pf::TBitmap* WarningImage();

namespace uListsUI {
// Counted start-up and shut-down of the unit: the first Initialize loads the picture, the last
// Finalize frees it.
void Initialize();
void Finalize();
// Adds the unit to the program's units, in the order core's place (after the class library's).
void Register();
}  // namespace uListsUI

}  // namespace order
