#pragma once
// The hourglass over the program's windows while the main thread is busy.

namespace order {

// The screen's cursor becomes the hourglass.
void BeginWait();
// The screen's cursor becomes the default cursor again.
void EndWait();

// BeginWait for one scope; EndWait even when the work raises.
class TWaitCursor {
public:
  TWaitCursor() { BeginWait(); }
  ~TWaitCursor() { EndWait(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

}  // namespace order
