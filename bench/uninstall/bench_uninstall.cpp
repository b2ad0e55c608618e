// The uninstallation of a very large installation: a record of about 1 MiB
// naming FILES files in the game folder (7 800 fill the record's limit),
// with a settings file of SETTINGS_MIB MiB whose list names every one of
// them and many more (16 MiB is the most the programs read). Timed: what
// the uninstaller does between its start and its last word, reading the
// record and the settings file, planning (each file checked by its digest)
// and removing. The files are written anew, untimed, before each run.
//
//   build/bench/uninstall/bench_uninstall --benchmark_filter=7800
//
// The bound: under 2 s for 7 800 files and 16 MiB; the smaller case shows
// how the time grows (linearly: ten times the files, ten times the time).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "installer/core/digest.h"
#include "installer/core/record.h"
#include "installer/core/uninstall.h"
#include "installer/core/uninstall_program.h"
#include "platform/files.h"
#include "shell/settings_file.h"

namespace {

namespace fs = std::filesystem;

// A throw-away home with the game folder and the settings folder.
struct Home {
  std::string root, game, config;
  Home() {
    std::string templ = (fs::temp_directory_path() / "zarnik-bench-XXXXXX").string();
    root = ::mkdtemp(templ.data());
    game = root + "/Hry/zarnik";
    config = root + "/.config";
    fs::create_directories(game);
    fs::create_directories(config);
    platform::override_settings_directory(config);
  }
  ~Home() {
    platform::override_settings_directory("");
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

// The installation: `files` files of the game folder, each with its own
// bytes, in the record; the settings file listing them and then other
// lines up to `settings_bytes`.
void install(const Home& h, int64_t files, uint64_t settings_bytes) {
  installer::Record r;
  const auto id = [&](const std::string& path) {
    const platform::OpenFolder dir(path);
    return dir.identity();
  };
  r.set(installer::RecordedFolder{h.game, true, true, id(h.game)});
  r.set(installer::RecordedFolder{h.config, false, true, id(h.config)});
  r.add_game_folder(h.game);
  std::vector<std::string> settings{"800", "600", "", h.game + "/zarnik.lnk"};
  for (int64_t i = 0; i < files; ++i) {
    const std::string path = h.game + "/data-file-" + std::to_string(i) + ".xxx";
    const std::string text = "the bytes of file " + std::to_string(i);
    std::ofstream(path, std::ios::binary) << text;
    r.set(installer::RecordedFile{installer::RecordedKind::File,
                                  path,
                                  installer::content_id({text.begin(), text.end()}),
                                  {},
                                  h.game});
    settings.push_back(path);
  }
  const std::string ini = h.config + "/" + shell::kSettingsFileName;
  r.set(installer::RecordedFile{installer::RecordedKind::Settings, ini, {}, {}, h.game});
  uint64_t size = 0;
  for (const auto& l : settings) size += l.size() + 2;
  for (int64_t i = 0; size < settings_bytes - 200; ++i) {
    settings.push_back(h.root + "/Dokumenty/listed-by-hand-" + std::to_string(i) + ".txt");
    size += settings.back().size() + 2;
  }
  settings.push_back(ini);
  shell::write_settings_lines(ini, settings);
  installer::write_record(installer::record_path(h.config), r);
}

void BM_Uninstall(benchmark::State& state) {
  const Home home;
  const int64_t files = state.range(0);
  const uint64_t settings_bytes = uint64_t(state.range(1)) << 20;
  uint64_t record_bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    install(home, files, std::min(settings_bytes, shell::kMaxSettingsFileBytes));
    record_bytes = fs::file_size(installer::record_path(home.config));
    state.ResumeTiming();
    const installer::UninstallStart start = installer::start_uninstall(home.game);
    const auto result = installer::perform_uninstall(start.plan, true, true);
    state.PauseTiming();
    if (!start.problem.empty() || !result.failures.empty() ||
        start.plan.files.size() != size_t(files) || fs::exists(home.game + "/data-file-0.xxx"))
      state.SkipWithError("the uninstallation did not remove the files");
    state.ResumeTiming();
  }
  state.counters["record_KiB"] = double(record_bytes) / 1024;
}
BENCHMARK(BM_Uninstall)
    ->Args({780, 2})
    ->Args({7800, 16})
    ->Iterations(1)
    ->Repetitions(7)
    ->ComputeStatistics("min",
                        [](const std::vector<double>& v) {
                          return *std::min_element(v.begin(), v.end());
                        })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
