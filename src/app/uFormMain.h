#pragma once
// The order window. For now it only opens once the price list has been applied; the order list
// and its editing come later.

#include "platform/classlib/Forms.h"

namespace app {

using namespace pf;

inline const String MainCaption = u"Сельвана Тихоград - заказ фотографий - версия 3.0";

class TMain : public TForm {
  PF_CLASS(TMain)
protected:
  void Create(TComponent* AOwner) override;
};

}  // namespace app
