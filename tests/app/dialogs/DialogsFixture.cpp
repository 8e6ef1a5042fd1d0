#include "app/dialogs/DialogsFixture.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdlib>

#include "order/uLists.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Format.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace dlgtest {

void SetUpPriceList() {
  auto* small = order::TPhotoSize::New();
  small->Name = u"10x15";
  small->Width = 1800;
  small->Height = 1200;
  small->Prices[order::ptGlossy] = 12.5;
  small->Prices[order::ptMatte] = 14;
  order::PhotoSizes()->Add(small);
  auto* large = order::TPhotoSize::New();
  large->Name = u"15x20";
  large->Width = 2400;
  large->Height = 1800;
  large->Prices[order::ptGlossy] = 20;
  order::PhotoSizes()->Add(large);

  auto* city = order::TCity::New();
  city->Name = u"Тихоград";
  auto* place = order::TPlace::New();
  place->Name = u"Центр";
  place->Desc = u"ул. Ленина, 1\r\nс 9 до 18";
  city->Places()->Add(place);
  place = order::TPlace::New();
  place->Name = u"Вокзал";
  place->Desc = u"пл. Вокзальная, 3";
  city->Places()->Add(place);
  order::Cities()->Add(city);
  city = order::TCity::New();
  city->Name = u"Озёрск";
  place = order::TPlace::New();
  place->Name = u"Рынок";
  place->Desc = u"ул. Рыночная, 5";
  city->Places()->Add(place);
  order::Cities()->Add(city);
}

void ResetPriceList() { order::uLists::Reset(); }

std::string WritePhoto(const std::filesystem::path& Dir, const std::string& Name, int W, int H) {
  const std::filesystem::path path = Dir / Name;
  auto paint = [W, H](int x, int y) {
    if (x < 8 && y < 8) return fixtures::Rgb{255, 0, 0};
    return fixtures::Rgb{static_cast<uint8_t>(x * 255 / W), static_cast<uint8_t>(y * 255 / H), 128};
  };
  const std::string ext = path.extension().string();
  if (ext == ".png")
    fixtures::WritePng(path, W, H, paint);
  else if (ext == ".bmp")
    testsupport::WriteFileBytes(path, fixtures::MakeBmp24(W, H, paint));
  else
    fixtures::WriteJpeg(path, W, H, paint);
  return path.string();
}

TDIB* PatternThumb(int W, int H) {
  TDIB* dib = TDIB::New();
  dib->SetSize(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      Byte* p = dib->ScanLine(y) + x * 3;
      p[0] = static_cast<Byte>(x);
      p[1] = static_cast<Byte>(y);
      p[2] = 7;
    }
  return dib;
}

void Shot(TWinControl* Form, const std::string& Name) {
  const char* out = std::getenv("PO_SCREENSHOT_DIR");
  if (!out || !*out || !Form) return;
  Application->Idle();  // the actions' state, as the customer sees it
  guitest::PumpPending();
  if (QWidget* w = layer::WidgetOf(Form->Handle()))
    w->grab().toImage().save(QString::fromUtf8(out) + QStringLiteral("/") + QString::fromStdString(Name) +
                             QStringLiteral(".png"));
}

void DialogsTest::SetUp() {
  // The customer's desktop is Russian: decimal comma, non-breaking blanks between digit groups.
  Saved = FormatSettings();
  TFormatSettings ru = Saved;
  ru.DecimalSeparator = u',';
  ru.ThousandSeparator = u'\u00A0';
  SetFormatSettings(ru);
  SetUpPriceList();
  Dir = testsupport::MakeTempDir("photos");
}

void DialogsTest::TearDown() {
  guitest::PumpPending();
  pf::testing::SetMessageBoxHook(nullptr);
  pf::testing::ClearMessageBoxLog();
  pf::testing::ResetSystemParameters();
  clock::UseReal();
  ResetPriceList();
  SetFormatSettings(Saved);
}

}  // namespace dlgtest
