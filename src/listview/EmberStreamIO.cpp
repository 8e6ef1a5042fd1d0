#include "listview/EmberStreamIO.h"

#include "common/CommonObjects.h"
#include "platform/rtl/Strings.h"

namespace ember::streamio {

namespace {
template <class T>
void WriteLE(TStream& S, T V) {
  Byte b[sizeof(T)];
  for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<Byte>(static_cast<uint64_t>(V) >> (8 * i));
  S.WriteBuffer(b, sizeof(T));
}
template <class T>
T ReadLE(TStream& S) {
  Byte b[sizeof(T)];
  S.ReadBuffer(b, sizeof(T));
  uint64_t v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<uint64_t>(b[i]) << (8 * i);
  return static_cast<T>(v);
}
Int64 BytesLeft(TStream& S) {
  Int64 left = S.GetSize() - S.GetPosition();
  return left < 0 ? 0 : left;
}
// The stream's integers and class names are the common library's helper's, as the canvas
// control's are. The helper reads what a short stream lacks as zeros; a file cut short must
// raise the stream's read error instead, so what is read is checked to be there first.
common::TCommonMemoryStreamHelper& Helper() { return *common::StreamHelper; }
void NeedBytes(TStream& S, Int64 Count) {
  if (BytesLeft(S) < Count) throw EReadError(u"Stream read error");
}
}  // namespace

void Corrupt(const char16_t* What) { throw EReadError(String(u"The list view stream is damaged: ") + What); }

void WriteInt32(TStream& S, Integer V) { Helper().WriteInteger(S, V); }
void WriteUInt32(TStream& S, uint32_t V) { WriteLE<uint32_t>(S, V); }
void WriteUInt16(TStream& S, Word V) { WriteLE<Word>(S, V); }
void WriteByte(TStream& S, Byte V) { S.WriteBuffer(&V, 1); }
void WriteBool(TStream& S, bool V) { WriteByte(S, V ? 1 : 0); }

void WriteWideString(TStream& S, const String& V) {
  WriteInt32(S, static_cast<Integer>(V.size()));
  for (Char c : V) WriteLE<Word>(S, static_cast<Word>(c));
}

// Class names are kept in UTF-8 and named in the stream in the system's single-byte code page.
void WriteClassName(TStream& S, const std::string& V) { Helper().WriteString(S, Utf8ToString(V)); }

void WriteIntArray(TStream& S, std::span<const Integer> V) {
  WriteInt32(S, static_cast<Integer>(V.size()));
  for (Integer i : V) WriteInt32(S, i);
}

void WriteCardinalArray(TStream& S, std::span<const Cardinal> V) {
  WriteInt32(S, static_cast<Integer>(V.size()));
  for (Cardinal i : V) WriteUInt32(S, i);
}

void WriteWideStringArray(TStream& S, std::span<const String> V) {
  WriteInt32(S, static_cast<Integer>(V.size()));
  for (const String& s : V) WriteWideString(S, s);
}

Integer ReadInt32(TStream& S) {
  NeedBytes(S, 4);
  return Helper().ReadInteger(S);
}
uint32_t ReadUInt32(TStream& S) { return ReadLE<uint32_t>(S); }
Word ReadUInt16(TStream& S) { return ReadLE<Word>(S); }
Byte ReadByte(TStream& S) { return ReadLE<Byte>(S); }
bool ReadBool(TStream& S) { return ReadByte(S) != 0; }

Byte ReadEnum(TStream& S, int Count) {
  Byte b = ReadByte(S);
  if (b >= Count) Corrupt(u"an enumeration value is out of range");
  return b;
}

Integer ReadCount(TStream& S, Int64 ElementSize) {
  Integer n = ReadInt32(S);
  if (n < 0) Corrupt(u"a count is negative");
  if (static_cast<Int64>(n) * ElementSize > BytesLeft(S)) Corrupt(u"a count is larger than the stream");
  return n;
}

String ReadWideString(TStream& S) {
  Integer n = ReadCount(S, 2);
  String out(static_cast<size_t>(n), u'\0');
  for (Integer i = 0; i < n; ++i) out[static_cast<size_t>(i)] = static_cast<Char>(ReadLE<Word>(S));
  return out;
}

std::string ReadClassName(TStream& S) {
  NeedBytes(S, 4);
  String name;
  Helper().ReadString(S, name);
  return StringToUtf8(name);
}

std::vector<Integer> ReadIntArray(TStream& S) {
  Integer n = ReadCount(S, 4);
  std::vector<Integer> out(static_cast<size_t>(n));
  for (Integer& v : out) v = ReadInt32(S);
  return out;
}

std::vector<Cardinal> ReadCardinalArray(TStream& S) {
  Integer n = ReadCount(S, 4);
  std::vector<Cardinal> out(static_cast<size_t>(n));
  for (Cardinal& v : out) v = ReadUInt32(S);
  return out;
}

std::vector<String> ReadWideStringArray(TStream& S) {
  // Each string takes at least its 4-byte length.
  Integer n = ReadCount(S, 4);
  std::vector<String> out;
  out.reserve(static_cast<size_t>(n));
  for (Integer i = 0; i < n; ++i) out.push_back(ReadWideString(S));
  return out;
}

}  // namespace ember::streamio
