#pragma once
// Streams of the class library.

#include <cstdio>
#include <vector>

#include "platform/rtl/Object.h"

namespace pf {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
  virtual Int64 Read(void* buffer, Int64 count) = 0;
  virtual Int64 Write(const void* buffer, Int64 count) = 0;
  virtual Int64 Seek(Int64 offset, TSeekOrigin origin) = 0;

  Int64 GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(Int64 pos) { Seek(pos, TSeekOrigin::soBeginning); }
  virtual Int64 GetSize();
  virtual void SetSize(Int64 size);

  void ReadBuffer(void* buffer, Int64 count);         // raises EReadError when short
  void WriteBuffer(const void* buffer, Int64 count);  // raises EWriteError when short
  void WriteBytes(std::string_view bytes) { WriteBuffer(bytes.data(), static_cast<Int64>(bytes.size())); }
  // Copies `count` bytes from `source` (0: all of it from its start). Answers the bytes copied.
  Int64 CopyFrom(TStream& source, Int64 count);
  // The bytes from the position to the end.
  RawBytes ReadRest();
};

class TMemoryStream : public TStream {
  PF_CLASS(TMemoryStream)
public:
  Int64 Read(void* buffer, Int64 count) override;
  Int64 Write(const void* buffer, Int64 count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  Int64 GetSize() override { return static_cast<Int64>(FData.size()); }
  void SetSize(Int64 size) override;

  void Clear();
  const Byte* Memory() const { return FData.data(); }
  Byte* Memory() { return FData.data(); }
  std::string_view Bytes() const { return {reinterpret_cast<const char*>(FData.data()), FData.size()}; }
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const String& fileName);
  void SaveToStream(TStream& stream) const;
  void SaveToFile(const String& fileName) const;

protected:
  void Create() override {}

private:
  std::vector<Byte> FData;
  Int64 FPosition{0};
};

// File open modes of the class library.
constexpr Word fmCreate = 0xFF00;
constexpr Word fmOpenRead = 0x0000;
constexpr Word fmOpenWrite = 0x0001;
constexpr Word fmOpenReadWrite = 0x0002;
constexpr Word fmShareDenyNone = 0x0040;
constexpr Word fmShareDenyWrite = 0x0020;

class TFileStream : public TStream {
  PF_CLASS(TFileStream)
public:
  Int64 Read(void* buffer, Int64 count) override;
  Int64 Write(const void* buffer, Int64 count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  void SetSize(Int64 size) override;
  const String& FileName() const { return FFileName; }

protected:
  // Raises EFCreateError or EFOpenError with the file's name and the system's reason.
  void Create(const String& fileName, Word mode);
  void Destroy() override;

private:
  int FHandle{-1};
  String FFileName;
};

}  // namespace pf
