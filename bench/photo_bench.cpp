// Times our thumbnail and print against the best open tools doing the same work, process against
// process, median of five runs, with each process's peak memory; checks first that the print's
// speed is not bought with quality (PSNR against a full-size decode resampled by the same
// bicubic filter). Tools that are missing are reported as skipped.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BenchPhoto.h"
#include "platform/rtl/Strings.h"

namespace {

namespace fs = std::filesystem;
using namespace bench;

fs::path gDir;

struct TRun {
  double Seconds{0};
  double PeakMB{0};
  bool Ok{false};
};

TRun RunProcess(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  TRun run;
  run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.PeakMB = usage.ru_maxrss / 1024.0;
  run.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

bool Have(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// ImageMagick's own convert (a wrapper earlier on PATH would add its start-up to the timing).
std::string Convert() { return fs::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert"; }

void RegisterProcess(const std::string& name, std::vector<std::string> args) {
  benchmark::RegisterBenchmark(name.c_str(), [args](benchmark::State& state) {
    if (!Have(args[0])) {
      state.SkipWithError((args[0] + " is not installed").c_str());
      for (auto _ : state) {}
      return;
    }
    double peak = 0;
    for (auto _ : state) {
      const TRun run = RunProcess(args);
      if (!run.Ok) {
        state.SkipWithError("the process failed");
        break;
      }
      state.SetIterationTime(run.Seconds);
      peak = run.PeakMB;
    }
    state.counters["peak_MB"] = peak;
  })->UseManualTime()->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
}

// ---- the test photo: fine texture and sharp edges, not a smooth gradient ----

uint32_t Hash(uint32_t x, uint32_t y) {
  uint32_t h = x * 374761393u + y * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

void MakePhoto(const fs::path& path, int w, int h) {
  TPhoto p(w, h);
  for (int y = 0; y < h; ++y) {
    Byte* d = p.Scan(y);
    for (int x = 0; x < w; ++x, d += 3) {
      // Tiles of 97 pixels with sharp edges and their own colour, discs with sharp rims, a fine
      // woven texture of 3 to 7 pixels, and grain.
      const uint32_t tile = Hash(static_cast<uint32_t>(x / 97), static_cast<uint32_t>(y / 97));
      const int cx = x % 97 - 48, cy = y % 97 - 48;
      const bool disc = cx * cx + cy * cy < 30 * 30;
      const double weave = 28 * std::sin(x * 2.1) * std::sin(y * 0.9) + 18 * std::sin((x + y) * 1.3);
      const int grain = static_cast<int>(Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y)) & 31) - 16;
      for (int c = 0; c < 3; ++c) {
        int base = 60 + static_cast<int>((tile >> (c * 8)) & 127);
        if (disc) base = 255 - base;
        d[c] = static_cast<Byte>(std::clamp(base + static_cast<int>(weave) + grain, 0, 255));
      }
    }
  }
  RawBytes jpeg;
  SaveJpeg(p, 92, jpeg);
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(jpeg.data(), 1, jpeg.size(), f);
  std::fclose(f);
}

double Psnr(const TPhoto& a, const TPhoto& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 0;
  double se = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (size_t i = 0; i < a.Stride(); ++i) {
      const double d = double(a.Scan(y)[i]) - double(b.Scan(y)[i]);
      se += d * d;
    }
  const double mse = se / (double(a.Stride()) * a.Height());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

void QualityCheck(const fs::path& photo, int w, int h, const char* ours, const char* vips) {
  const String file = Utf8ToString(photo.string());
  TPhoto full;
  LoadImage(file, full);
  const TPrintJob job = PrintJob(full.Width(), full.Height(), w, h);
  TPhoto reference(w, h);
  DrawImage(reference, TRect{0, 0, w, h}, full,
            TRectF{double(job.Source.Left), double(job.Source.Top), double(job.Source.Width()),
                   double(job.Source.Height())});
  full = TPhoto();
  TPhoto reduced;
  LoadResampled(file, TRectF{double(job.Source.Left), double(job.Source.Top), double(job.Source.Width()),
                             double(job.Source.Height())}, w, h, reduced);
  std::printf("%d x %d print: reduced decode against the full-size reference: %.1f dB\n", w, h,
              Psnr(reduced, reference));
  RunProcess({PHOTO_TOOL, "print", photo.string(), std::to_string(w), std::to_string(h), (gDir / ours).string()});
  TPhoto stored;
  if (LoadImage(Utf8ToString((gDir / ours).string()), stored) == Status::Ok)
    std::printf("%d x %d print: our stored JPEG against the reference: %.1f dB\n", w, h, Psnr(stored, reference));
  if (Have("vips")) {
    RunProcess({"vips", "thumbnail", photo.string(), (gDir / vips).string() + "[Q=90]", std::to_string(w),
                "--height", std::to_string(h), "--size", "both", "--crop", "centre"});
    TPhoto theirs;
    if (LoadImage(Utf8ToString((gDir / vips).string()), theirs) == Status::Ok)
      std::printf("%d x %d print: vips's JPEG against the reference: %.1f dB\n", w, h, Psnr(theirs, reference));
  }
}

}  // namespace

int main(int argc, char** argv) {
  char tmpl[] = "/tmp/photo-bench-XXXXXX";
  gDir = mkdtemp(tmpl);
  const fs::path photo = gDir / "photo.jpg";
  // The photo and the quality check are made in a child process: a child made by fork starts
  // with its parent's resident memory, which would then count in every tool's peak.
  const pid_t maker = fork();
  if (maker == 0) {
    MakePhoto(photo, 6000, 4000);
    std::printf("test photo: %s, 6000 x 4000, %ju bytes\n", photo.c_str(),
                static_cast<uintmax_t>(fs::file_size(photo)));
    QualityCheck(photo, 1800, 1200, "q1.jpg", "q1v.jpg");
    QualityCheck(photo, 4724, 3543, "q2.jpg", "q2v.jpg");
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(maker, &status, 0);
  {
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    std::printf("the driver's own peak memory (a floor under every figure): %.1f MB\n", self.ru_maxrss / 1024.0);
  }

  const std::string in = photo.string();
  const auto out = [](const char* name) { return (gDir / name).string(); };
  RegisterProcess("thumb/ours", {PHOTO_TOOL, "thumb", in, out("t1.jpg")});
  RegisterProcess("thumb/vipsthumbnail", {"vipsthumbnail", in, "-s", "200", "-o", out("t2.jpg")});
  RegisterProcess("thumb/imagemagick", {Convert(), "-define", "jpeg:size=400x400", in, "-thumbnail", "200x200", out("t3.jpg")});
  RegisterProcess("floor/djpeg_1_8", {"djpeg", "-scale", "1/8", "-outfile", "/dev/null", in});
  RegisterProcess("floor/djpeg_1_2", {"djpeg", "-scale", "1/2", "-outfile", "/dev/null", in});
  RegisterProcess("print1800/ours", {PHOTO_TOOL, "print", in, "1800", "1200", out("p1.jpg")});
  RegisterProcess("print1800/vips", {"vips", "thumbnail", in, out("p2.jpg") + "[Q=90]", "1800", "--height", "1200", "--size", "both"});
  RegisterProcess("print4724/ours", {PHOTO_TOOL, "print", in, "4724", "3543", out("p3.jpg")});
  RegisterProcess("print4724/vips", {"vips", "thumbnail", in, out("p4.jpg") + "[Q=90]", "4724", "--height", "3543", "--size", "both", "--crop", "centre"});

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // PHOTO_BENCH_KEEP=1 keeps the photo and the outputs for a closer look.
  if (!std::getenv("PHOTO_BENCH_KEEP")) {
    std::error_code ec;
    fs::remove_all(gDir, ec);
  }
  return 0;
}
