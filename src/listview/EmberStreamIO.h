#pragma once
// Reading and writing the list view stream's encodings. Every read is exact (EReadError on a
// short stream), and every count, length and enumeration byte is checked against the bytes left
// and the enumeration's range before anything is made from it.

#include <span>

#include "listview/EmberTypes.h"
#include "platform/rtl/Streams.h"

namespace ember::streamio {

void WriteInt32(TStream& S, Integer V);
void WriteUInt32(TStream& S, uint32_t V);
void WriteUInt16(TStream& S, Word V);
void WriteByte(TStream& S, Byte V);
void WriteBool(TStream& S, bool V);
void WriteWideString(TStream& S, const String& V);
void WriteClassName(TStream& S, const std::string& V);
void WriteIntArray(TStream& S, std::span<const Integer> V);
void WriteCardinalArray(TStream& S, std::span<const Cardinal> V);
void WriteWideStringArray(TStream& S, std::span<const String> V);

Integer ReadInt32(TStream& S);
uint32_t ReadUInt32(TStream& S);
Word ReadUInt16(TStream& S);
Byte ReadByte(TStream& S);
bool ReadBool(TStream& S);
// An enumeration's ordinal, below Count.
Byte ReadEnum(TStream& S, int Count);
// A count of elements of at least ElementSize bytes each that the rest of the stream can hold.
Integer ReadCount(TStream& S, Int64 ElementSize);
String ReadWideString(TStream& S);
std::string ReadClassName(TStream& S);
std::vector<Integer> ReadIntArray(TStream& S);
std::vector<Cardinal> ReadCardinalArray(TStream& S);
std::vector<String> ReadWideStringArray(TStream& S);
[[noreturn]] void Corrupt(const char16_t* What);

}  // namespace ember::streamio
