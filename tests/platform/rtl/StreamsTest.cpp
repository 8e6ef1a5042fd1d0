#include <gtest/gtest.h>

#include <limits>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "support/TestEnv.h"

using namespace pf;

namespace {

String TempDir() { return FromNativePath(testsupport::MakeTempDir("streams").string()) + u"/"; }

TEST(MemoryStreamTest, ReadWriteSeekAndSize) {
  Owned<TMemoryStream> m(TMemoryStream::New());
  m->WriteBytes("hello world");
  EXPECT_EQ(m->GetSize(), 11);
  m->Seek(-5, TSeekOrigin::soEnd);
  EXPECT_EQ(m->ReadRest(), "world");
  m->SetPosition(6);
  m->WriteBytes("there!");  // overwrites and grows
  EXPECT_EQ(m->Bytes(), "hello there!");
  char buf[4];
  m->SetPosition(10);
  EXPECT_EQ(m->Read(buf, 4), 2);
  m->SetPosition(10);
  EXPECT_THROW(m->ReadBuffer(buf, 4), EReadError);
  m->SetSize(5);
  EXPECT_EQ(m->GetPosition(), 5);
  EXPECT_EQ(m->Bytes(), "hello");

  // CopyFrom with a count of zero takes all from the start.
  Owned<TMemoryStream> a(TMemoryStream::New()), b(TMemoryStream::New());
  a->WriteBytes("0123456789");
  EXPECT_EQ(b->CopyFrom(*a, 0), 10);
  EXPECT_EQ(b->Bytes(), "0123456789");
  a->SetPosition(2);
  b->Clear();
  EXPECT_EQ(b->CopyFrom(*a, 3), 3);
  EXPECT_EQ(b->Bytes(), "234");
  EXPECT_THROW(b->CopyFrom(*a, 100), EReadError);

  // A write whose end would pass the largest position fails instead of wrapping around.
  b->Seek(std::numeric_limits<Int64>::max() - 2, TSeekOrigin::soBeginning);
  EXPECT_THROW(b->WriteBytes("0123"), EWriteError);
  EXPECT_EQ(b->Bytes(), "234");
}

TEST(FileStreamTest, RoundTripUnderACyrillicName) {
  const String dir = TempDir();
  const String name = dir + U("Фото заказ.bin");
  std::string bytes("\x00\xFF\r\n\x1A zero", 10);
  {
    Owned<TFileStream> f(TFileStream::New(name, fmCreate));
    f->WriteBytes(bytes);
  }
  // The name is UTF-8 on disk.
  EXPECT_EQ(testsupport::ReadFileBytes(std::filesystem::path(ToNativePath(name))), bytes);
  {
    Owned<TFileStream> f(TFileStream::New(name, fmOpenReadWrite));
    f->Seek(2, TSeekOrigin::soBeginning);
    EXPECT_EQ(f->ReadRest(), bytes.substr(2));
    f->SetSize(4);
  }
  Owned<TMemoryStream> m(TMemoryStream::New());
  m->LoadFromFile(name);
  EXPECT_EQ(m->Bytes(), bytes.substr(0, 4));
  EXPECT_EQ(m->GetPosition(), 0);
  m->Seek(0, TSeekOrigin::soEnd);
  m->WriteBytes("tail");
  m->SaveToFile(dir + u"copy");
  EXPECT_EQ(testsupport::ReadFileBytes(ToNativePath(dir + u"copy")), bytes.substr(0, 4) + "tail");
}

TEST(FileStreamTest, FailuresNameTheFile) {
  const String dir = TempDir();
  struct Case {
    String name;
    Word mode;
    bool create;
  } cases[] = {
      {dir + U("нет.cfg"), fmOpenRead, false},
      {dir + u"missing/sub/x.cfg", fmCreate, true},
      {ExcludeTrailingPathDelimiter(dir), fmOpenRead, false},  // a folder
  };
  for (const auto& c : cases) {
    try {
      Owned<TFileStream> f(TFileStream::New(c.name, c.mode));
      ADD_FAILURE() << "opened " << StringToUtf8(c.name);
    } catch (const EStreamError& e) {
      EXPECT_EQ(dynamic_cast<const EFCreateError*>(&e) != nullptr, c.create) << e.what();
      EXPECT_EQ(dynamic_cast<const EFOpenError*>(&e) != nullptr, !c.create) << e.what();
      EXPECT_NE(e.Message().find(u"\"" + c.name + u"\""), String::npos) << e.what();
    }
  }
}

}  // namespace
