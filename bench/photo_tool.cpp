// photo_tool thumb <in> <out.jpg>            a thumbnail, stored at quality 75 as vipsthumbnail does
// photo_tool print <in> <width> <height> <out.jpg>   a print at quality 90 and 300 dpi
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "BenchPhoto.h"
#include "platform/rtl/Strings.h"

namespace {

bool WriteFile(const char* path, const pf::RawBytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace bench;
  if (argc == 4 && std::strcmp(argv[1], "thumb") == 0) {
    TPhoto thumb;
    RawBytes jpeg;
    if (MakeThumb(Utf8ToString(argv[2]), thumb) != Status::Ok || SaveJpeg(thumb, 75, jpeg) != Status::Ok ||
        !WriteFile(argv[3], jpeg))
      return 1;
    return 0;
  }
  if (argc == 6 && std::strcmp(argv[1], "print") == 0) {
    const String file = Utf8ToString(argv[2]);
    TImageInfo info;
    if (ReadImageInfo(file, info) != Status::Ok) return 1;
    RawBytes jpeg;
    const TPrintJob job = PrintJob(info.Width, info.Height, std::atoi(argv[3]), std::atoi(argv[4]));
    if (RenderPrint(file, job, jpeg) != Status::Ok || !WriteFile(argv[5], jpeg)) return 1;
    return 0;
  }
  std::fprintf(stderr, "usage: photo_tool thumb <in> <out> | print <in> <w> <h> <out>\n");
  return 2;
}
