// The order wizard against the lab server: the customer's details and pick-up place, the upload's
// progress and log, the three result pages, the cancel question, and the customer's file.
#include <filesystem>
#include <regex>

#include "app/dialogs/DialogsFixture.h"
#include "app/uDlgUpload.h"
#include "labserver/LabServer.h"
#include "order/uLists.h"
#include "order/uUtils.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/inet/Http.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Strings.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace {

using namespace dlgtest;
using labserver::TRequestKind;

// The question a cancel asks while photos are being sent: Yes/No, No the default.
void ExpectTheCancelQuestion(const pf::testing::TMessageBoxRequest& box) {
  EXPECT_EQ(box.Text, u"Вы действительно хотите прервать загрузку фотографий и отменить заказ?");
  EXPECT_EQ(box.Caption, u"Подтверждение");
  EXPECT_EQ(box.Type, 0x124u);
}

class DlgUploadTest : public DialogsTest {
protected:
  void SetUp() override {
    DialogsTest::SetUp();
    inet::GlobalInitialize();
    labserver::TLabServerOptions options;
    options.OrdersDir = testsupport::MakeTempDir("orders");
    Lab = std::make_unique<labserver::TLabServer>(options);
    ASSERT_TRUE(Lab->Start());
    order::UploadScriptURL = Utf8ToString(Lab->UploadUrl());
    // Retries wait on the layer's clock, which lets every wait pass at once.
    clock::UseManual();
    clock::SetInstant(true);
    std::filesystem::remove(StringToUtf8(order::GetInfoFileName()));
  }
  void TearDown() override {
    FreeAndNil(Dlg);
    Lab->Stop();
    DialogsTest::TearDown();
  }
  // Three photos: a.bmp (2 prints), b.bmp and c.bmp (1 print each), glossy 10x15 at 12.5.
  TInfoList* Order() {
    auto* list = new TInfoList;
    int counts[] = {2, 1, 1};
    for (int i = 0; i < 3; ++i) {
      const std::string name = std::string(1, static_cast<char>('a' + i)) + ".bmp";
      TInfo info;
      info.FileName = Utf8ToString(WritePhoto(Dir, name, 300, 200));
      info.SizeName = u"10x15";
      info.PhotoCount = counts[i];
      info.PhotoWidth = 1800;
      info.PhotoHeight = 1200;
      info.ThumbWidth = 200;
      info.ThumbHeight = 133;
      info.TotalPrice = 12.5 * counts[i];
      list->push_back(info);
    }
    return list;
  }
  void Make() {
    Dlg = TDlgUpload::New(Application, Order());
    Dlg->OnDeleteImages = [this](const TInfoList& infos) {
      for (const TInfo& i : infos) Deleted.push_back(i.Uploaded);
    };
  }
  bool ProcessEnabled() {
    Application->Idle();
    return Dlg->ActProcess->GetEnabled();
  }
  void FillDetails() {
    Dlg->edSecondName->SetText(u"Иванов");
    Dlg->edFirstName->SetText(u"Иван");
    Dlg->edPhone->SetText(u"+7 900 000-00-00");
  }
  // From the details page to sending.
  void Send() {
    FillDetails();
    ASSERT_TRUE(ProcessEnabled());
    Dlg->ActProcess->Execute();
    ASSERT_EQ(Dlg->Pages->GetActivePage(), Dlg->PageAddress);
    EXPECT_EQ(Dlg->ActProcess->GetCaption(), u"Отправить");
    Shot(Dlg, "order-2-address");
    ASSERT_TRUE(ProcessEnabled());
    Dlg->ActProcess->Execute();
    EXPECT_EQ(Dlg->Pages->GetActivePage(), Dlg->PageUpload);
    EXPECT_TRUE(Dlg->Sending());
  }
  bool Ended() const {
    TTabSheet* p = Dlg->Pages->GetActivePage();
    return p == Dlg->PageSucc || p == Dlg->PageFail || p == Dlg->PageCancel;
  }
  std::string InfoFile() const { return StringToUtf8(order::GetInfoFileName()); }

  std::unique_ptr<labserver::TLabServer> Lab;
  TDlgUpload* Dlg{nullptr};
  std::vector<bool> Deleted;
};

TEST_F(DlgUploadTest, OrderWithAPhotoGivenUpEndsOnTheResultPage) {
  Lab->RefuseFirst(TRequestKind::Photo, 10);  // every attempt of the first photo
  Make();
  guitest::PostWork([&] {
    Shot(Dlg, "order-1-details");
    EXPECT_FALSE(ProcessEnabled());
    Send();
    EXPECT_EQ(Dlg->lblStat->GetCaption(), u"Отправлено 0 фото из 3; пропущено 0 фото");
    ASSERT_TRUE(guitest::PumpUntil([&] { return Ended(); }));
    Shot(Dlg, "order-4-success");
    Dlg->ActCancel->Execute();
  });
  Dlg->Execute();
  EXPECT_EQ(Dlg->Pages->GetActivePage(), Dlg->PageSucc);
  EXPECT_FALSE(Dlg->Sending());
  EXPECT_EQ(Dlg->ActCancel->GetCaption(), u"Закрыть");
  EXPECT_EQ(Dlg->edOrderNumber->GetText(), u"000001");
  EXPECT_EQ(Dlg->lblResult->GetCaption(), u"2 фото были успешно отправлены на сайт; 1 фото пропущено");
  EXPECT_EQ(Dlg->lblTotal->GetCaption(),
            u"Отправлено фотографий: 2 шт.; отпечатков: 2 шт. Сумма заказа: 25,00 руб.");
  EXPECT_EQ(Dlg->lblStat->GetCaption(), u"Отправлено 2 фото из 3; пропущено 1 фото");
  EXPECT_EQ(Dlg->pbProgress->GetPosition(), 3);
  // The memo shows each line break as one (the desktop's edit keeps a bare LF).
  String address = Dlg->edAddress->GetText();
  std::erase(address, u'\r');
  EXPECT_EQ(address, u"Тихоград\nЦентр\nул. Ленина, 1\nс 9 до 18");
  EXPECT_EQ(Deleted, (std::vector<bool>{false, true, true}));
  // Ten refusals and the give-up, each line stamped with the time.
  const std::string log = StringToUtf8(Dlg->edLog->GetText());
  const std::regex line("(^|\n)\\d\\d:\\d\\d:\\d\\d - Фотография a\\.bmp: ERROR: refused");
  EXPECT_EQ(std::distance(std::sregex_iterator(log.begin(), log.end(), line), std::sregex_iterator()), 10);
  EXPECT_NE(log.find(" - Не удалось отправить фотографию a.bmp, она будет пропущена!"), std::string::npos);
  const auto texts = Lab->Requests(TRequestKind::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].FieldText("text").rfind(
                "Город: Тихоград\r\nАдрес: Центр ул. Ленина, 1 с 9 до 18\r\nФИО: Иванов Иван\r\n"
                "Телефон: +7 900 000-00-00\r\n",
                0),
            0u);
  // The box was ticked: the details are kept for the next order.
  const std::string saved = testsupport::ReadFileBytes(InfoFile());
  EXPECT_NE(saved.find("SecondName="), std::string::npos);
}

TEST_F(DlgUploadTest, LabThatRefusesEveryPhotoGivesTheFailurePageAndKeepsThePhotos) {
  labserver::TFault refuse;
  refuse.Kind = TRequestKind::Photo;
  refuse.Count = -1;
  Lab->AddFault(refuse);
  testsupport::WriteFileBytes(InfoFile(), "FirstName=Old\r\n");
  Make();
  guitest::PostWork([&] {
    Dlg->cbSaveInfo->SetChecked(false);
    Send();
    ASSERT_TRUE(guitest::PumpUntil([&] { return Ended(); }));
    Shot(Dlg, "order-5-failure");
    Dlg->ActCancel->Execute();
  });
  Dlg->Execute();
  EXPECT_EQ(Dlg->Pages->GetActivePage(), Dlg->PageFail);
  EXPECT_TRUE(Deleted.empty());
  EXPECT_EQ(Dlg->lblStat->GetCaption(), u"Отправлено 0 фото из 3; пропущено 3 фото");
  FreeAndNil(Dlg);  // the thread's rollback follows its report
  EXPECT_EQ(Lab->Requests(TRequestKind::Rollback).size(), 1u);
  EXPECT_TRUE(Lab->Requests(TRequestKind::Commit).empty());
  // The box was cleared: the customer's file is gone.
  EXPECT_FALSE(std::filesystem::exists(InfoFile()));
}

TEST_F(DlgUploadTest, CancelWhileSendingAsksThenRollsBack) {
  // The first photo is refused once: the thread then waits out its retry delay on the clock.
  clock::SetInstant(false);
  Lab->RefuseFirst(TRequestKind::Photo, 1);
  Make();
  std::vector<int> answers{IDNO, IDYES};
  pf::testing::SetMessageBoxHook([&](const pf::testing::TMessageBoxRequest&) {
    int a = answers.front();
    answers.erase(answers.begin());
    return a;
  });
  guitest::PostWork([&] {
    Send();
    ASSERT_TRUE(guitest::PumpUntil([&] { return Dlg->edLog->GetText().find(u"ERROR") != String::npos; }));
    Shot(Dlg, "order-3-upload");
    Dlg->ActCancel->Execute();  // No
    guitest::PumpPending();
    EXPECT_TRUE(Dlg->Sending());
    EXPECT_EQ(Dlg->Pages->GetActivePage(), Dlg->PageUpload);
    Dlg->ActCancel->Execute();  // Yes
    ASSERT_TRUE(guitest::PumpUntil([&] { return Ended(); }));
    Shot(Dlg, "order-6-cancel");
    Dlg->ActCancel->Execute();
  });
  Dlg->Execute();
  const auto& boxes = pf::testing::MessageBoxLog();
  ASSERT_EQ(boxes.size(), 2u);
  ExpectTheCancelQuestion(boxes[0]);
  EXPECT_EQ(Dlg->Pages->GetActivePage(), Dlg->PageCancel);
  EXPECT_TRUE(Deleted.empty());
  FreeAndNil(Dlg);  // the thread's rollback follows its report
  EXPECT_EQ(Lab->Requests(TRequestKind::Rollback).size(), 1u);
  EXPECT_TRUE(Lab->Requests(TRequestKind::Text).empty());
}

TEST_F(DlgUploadTest, CloseRequestFromTheDesktopWhileSendingAsksFirst) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "Yes rolls the order back" : "No keeps sending");
    // The first photo is refused once: the thread then waits out its retry delay on the clock,
    // still sending, when the window manager's close request (Alt+F4, the close box) comes.
    clock::SetInstant(false);
    Lab->ClearFaults();
    Lab->ClearRequests();
    Lab->RefuseFirst(TRequestKind::Photo, 1);
    Deleted.clear();
    pf::testing::ClearMessageBoxLog();
    Make();
    bool openAfterAnswer = false;
    pf::testing::SetMessageBoxHook([&](const pf::testing::TMessageBoxRequest&) {
      // Runs once the close request has been answered.
      guitest::PostWork([&] {
        openAfterAnswer = Dlg->GetVisible() && Dlg->Sending() && Dlg->Pages->GetActivePage() == Dlg->PageUpload;
        ASSERT_TRUE(guitest::PumpUntil([&] {
          clock::Advance(TWorkThread::RetryDelayMs);
          return Ended();
        }));
        Dlg->ActCancel->Execute();
      });
      return yes ? IDYES : IDNO;
    });
    guitest::PostWork([&] {
      Send();
      ASSERT_TRUE(guitest::PumpUntil([&] { return Dlg->edLog->GetText().find(u"ERROR") != String::npos; }));
      guitest::CloseBox(Dlg->Handle());
    });
    Dlg->Execute();
    const auto& boxes = pf::testing::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    ExpectTheCancelQuestion(boxes[0]);
    EXPECT_TRUE(openAfterAnswer);
    EXPECT_EQ(Dlg->Pages->GetActivePage(), yes ? Dlg->PageCancel : Dlg->PageSucc);
    // The photos sent leave the main window's list; after a rollback every photo stays in it.
    EXPECT_EQ(Deleted, yes ? std::vector<bool>() : std::vector<bool>({true, true, true}));
    pf::testing::SetMessageBoxHook(nullptr);
    FreeAndNil(Dlg);  // a rollback follows the thread's report
    EXPECT_EQ(Lab->Requests(TRequestKind::Commit).size(), yes ? 0u : 1u);
    EXPECT_EQ(Lab->Requests(TRequestKind::Rollback).size(), yes ? 1u : 0u);
  }
}

// The cancel question asked while the order is being sent can no longer be honoured once the
// thread reports: it closes as if answered No and the result page shows, so that no late Yes is
// left to cancel an order that is already at the lab.
TEST_F(DlgUploadTest, AReportWhileTheCancelQuestionIsOpenClosesItAsNo) {
  struct Case {
    const char* Name;
    int RefusedPhotos;  // the lab refuses the first photos (-1: every photo, every attempt)
    bool AskedTwice;    // the cancel button twice in a row, the first answered Yes; else the close box
    TTabSheet* TDlgUpload::*Page;
    size_t Commits, Rollbacks;
  };
  const Case cases[] = {
      {"the order arrives", 1, false, &TDlgUpload::PageSucc, 1, 0},
      {"the lab refuses every photo", -1, false, &TDlgUpload::PageFail, 0, 1},
      {"a cancel already under way ends", 1, true, &TDlgUpload::PageCancel, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    clock::SetInstant(false);
    Lab->ClearFaults();
    Lab->ClearRequests();
    Lab->RefuseFirst(TRequestKind::Photo, c.RefusedPhotos);
    pf::testing::ClearMessageBoxLog();
    Make();
    bool stuck = false;
    pf::testing::SetMessageBoxHook([&](const pf::testing::TMessageBoxRequest&) {
      if (c.AskedTwice && pf::testing::MessageBoxLog().size() == 1) return IDYES;
      // The platform's box asks; the thread reports while it is open.
      guitest::PostWork([&] {
        ASSERT_TRUE(guitest::PumpUntil([&] {
          clock::Advance(TWorkThread::RetryDelayMs);
          return Ended();
        }));
        guitest::PostWork([&] {
          // Runs inside the box's loop only while the box is still open: the customer's late Yes.
          if (HWND box = pf::testing::OpenMessageBox()) {
            stuck = true;
            SendMessage(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
          }
          guitest::PostWork([&] { Dlg->ActCancel->Execute(); });
        });
      });
      return 0;
    });
    guitest::PostWork([&] {
      Send();
      ASSERT_TRUE(guitest::PumpUntil([&] { return Dlg->edLog->GetText().find(u"ERROR") != String::npos; }));
      if (c.AskedTwice) {
        Dlg->ActCancel->Execute();
        Dlg->ActCancel->Execute();
      } else {
        guitest::CloseBox(Dlg->Handle());
      }
    });
    Dlg->Execute();
    EXPECT_FALSE(stuck) << "the question stayed open over the result page";
    EXPECT_EQ(pf::testing::MessageBoxLog().size(), c.AskedTwice ? 2u : 1u);
    EXPECT_EQ(Dlg->Pages->GetActivePage(), Dlg->*c.Page);
    pf::testing::SetMessageBoxHook(nullptr);
    FreeAndNil(Dlg);
    EXPECT_EQ(Lab->Requests(TRequestKind::Commit).size(), c.Commits);
    EXPECT_EQ(Lab->Requests(TRequestKind::Rollback).size(), c.Rollbacks);
  }
}

TEST_F(DlgUploadTest, TheResultPageShowsWhileTheRollbackIsStillUnderWay) {
  Lab->RefuseFirst(TRequestKind::Photo, -1);  // every photo, every attempt
  // The lab holds the rollback's reply until it stops.
  Lab->DelayReply(TRequestKind::Rollback, 20000);
  Make();
  guitest::PostWork([&] {
    Send();
    ASSERT_TRUE(guitest::PumpUntil([&] { return Ended(); }));
    EXPECT_EQ(Dlg->Pages->GetActivePage(), Dlg->PageFail);
    EXPECT_FALSE(Dlg->Sending());
    const auto rollbacks = Lab->Requests(TRequestKind::Rollback);
    EXPECT_TRUE(rollbacks.empty() || !rollbacks[0].Finished) << "the window waited for the rollback";
    Lab->Stop();
    Dlg->ActCancel->Execute();
  });
  Dlg->Execute();
}

TEST_F(DlgUploadTest, YesAfterTheOrderHasEndedStopsNothing) {
  Make();
  pf::testing::SetMessageBoxHook([&](const pf::testing::TMessageBoxRequest&) {
    // While the question is open the order finishes and its thread is gone.
    guitest::PumpUntil([&] { return !Dlg->Sending(); });
    return IDYES;
  });
  guitest::PostWork([&] {
    Send();
    Dlg->ActCancel->Execute();
    ASSERT_TRUE(guitest::PumpUntil([&] { return Ended(); }));
    Dlg->ActCancel->Execute();
  });
  Dlg->Execute();
  EXPECT_EQ(Dlg->Pages->GetActivePage(), Dlg->PageSucc);
  EXPECT_EQ(Dlg->lblResult->GetCaption(), u"Все фотографии были успешно отправлены на сайт");
  EXPECT_EQ(Lab->Requests(TRequestKind::Commit).size(), 1u);
}

TEST_F(DlgUploadTest, CancelBeforeSendingShowsTheCancelPageAndKeepsTheDetails) {
  Make();
  guitest::PostWork([&] {
    FillDetails();
    Dlg->ActCancel->Execute();
    EXPECT_EQ(Dlg->Pages->GetActivePage(), Dlg->PageCancel);
    EXPECT_EQ(Dlg->ActCancel->GetCaption(), u"Закрыть");
    EXPECT_FALSE(ProcessEnabled());
    Dlg->ActCancel->Execute();
  });
  Dlg->Execute();
  EXPECT_EQ(Lab->RequestCount(), 0u);
  EXPECT_TRUE(pf::testing::MessageBoxLog().empty());
  const std::string saved = testsupport::ReadFileBytes(InfoFile());
  EXPECT_NE(saved.find("Phone=+7 900 000-00-00"), std::string::npos);
  // The next order starts with them.
  FreeAndNil(Dlg);
  Make();
  guitest::PostWork([&] {
    EXPECT_EQ(Dlg->edSecondName->GetText(), u"Иванов");
    EXPECT_EQ(Dlg->edPhone->GetText(), u"+7 900 000-00-00");
    EXPECT_TRUE(ProcessEnabled());
    Dlg->ActCancel->Execute();
    Dlg->ActCancel->Execute();
  });
  Dlg->Execute();
}

TEST_F(DlgUploadTest, NextNeedsTheThreeRequiredFieldsNotEmpty) {
  Make();
  struct Case {
    const char* Name;
    String Second, First, Phone;
    bool Enabled;
  };
  const Case cases[] = {
      {"all three filled", u"Иванов", u"Иван", u"1", true},
      {"surname missing", u"", u"Иван", u"1", false},
      {"first name missing", u"Иванов", u"", u"1", false},
      {"phone missing", u"Иванов", u"Иван", u"", false},
      // The fields are taken as typed, blanks included.
      {"surname of blanks", u"   ", u"Иван", u"1", true},
      {"phone of one blank", u"Иванов", u"Иван", u" ", true},
  };
  guitest::PostWork([&] {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.Name);
      Dlg->edSecondName->SetText(c.Second);
      Dlg->edFirstName->SetText(c.First);
      Dlg->edPhone->SetText(c.Phone);
      EXPECT_EQ(ProcessEnabled(), c.Enabled);
    }
    Dlg->ActCancel->Execute();
    Dlg->ActCancel->Execute();
  });
  Dlg->Execute();
}

TEST_F(DlgUploadTest, CustomerTextLines) {
  Make();
  struct Case {
    const char* Name;
    String Second, First, Third, Phone, EMail;
    Integer City;
    String Text;
  };
  const Case cases[] = {
      {"four lines without an e-mail", u"Иванов", u"Иван", u"", u"1", u"", 0,
       u"Город: Тихоград\r\nАдрес: Центр ул. Ленина, 1 с 9 до 18\r\nФИО: Иванов Иван\r\nТелефон: 1"},
      {"five with one", u"Иванов", u"Иван", u"Иванович", u"1", u"i@x.ru", 1,
       u"Город: Озёрск\r\nАдрес: Рынок ул. Рыночная, 5\r\nФИО: Иванов Иван Иванович\r\nТелефон: 1\r\nE-Mail: i@x.ru"},
      {"a pasted line break stays on its line", u"Иванов", u"Иван", u"", u"1\r\nГород: Х", u"", 1,
       u"Город: Озёрск\r\nАдрес: Рынок ул. Рыночная, 5\r\nФИО: Иванов Иван\r\nТелефон: 1  Город: Х"},
      {"a tab stays", u"Иванов", u"Иван", u"", u"1\t2", u"", 1,
       u"Город: Озёрск\r\nАдрес: Рынок ул. Рыночная, 5\r\nФИО: Иванов Иван\r\nТелефон: 1\t2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Dlg->edSecondName->SetText(c.Second);
    Dlg->edFirstName->SetText(c.First);
    Dlg->edThirdName->SetText(c.Third);
    Dlg->edPhone->SetText(c.Phone);
    Dlg->edEMail->SetText(c.EMail);
    Dlg->cbCity->SetItemIndex(c.City);
    Dlg->cbCity->OnChange(Dlg->cbCity);
    EXPECT_EQ(StringToUtf8(Dlg->CustomerText()), StringToUtf8(c.Text));
  }
}

}  // namespace
