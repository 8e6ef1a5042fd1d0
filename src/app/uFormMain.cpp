#include "app/uFormMain.h"

namespace app {

void TMain::Create(TComponent* AOwner) {
  TForm::Create(AOwner);
  SetName(u"Main");
  SetCaption(MainCaption);
  Position = TPosition::poScreenCenter;
  SetClientWidth(750);
  SetClientHeight(550);
}

}  // namespace app
