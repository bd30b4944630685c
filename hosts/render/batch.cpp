// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/batch.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "hosts/render/cli_options.h"
#include "hosts/render/level.h"

namespace render {
namespace {

namespace fs = std::filesystem;

struct Item {
  std::string input;
  std::string output;
  int format = 0;
  std::string error;  // set when the file failed
  TaskResult result;
  std::atomic<int> permille{-1};  // -1: waiting; 0 … 1000 while rendering
  std::atomic<bool> done{false};
};

// The output path and format for one input; false with *error when no format fits.
bool outputFor(const std::string& input, const BatchRequest& request, Item* item,
               std::string* error) {
  fs::path name = fs::path(input).filename();
  int format = 0;
  if (!request.type.empty()) {
    format = outputFormat("", request.type, request.bits, error);
    if (format) name.replace_extension(extensionOf(format));
  } else {
    std::string ignored;
    format = outputFormat(name.string(), "", request.bits, &ignored);
    if (!format) {  // an input type we read but do not write (e.g. .ogg): a WAV of that name
      format = outputFormat("", "wav", request.bits, error);
      name.replace_extension(".wav");
    }
  }
  item->format = format;
  item->output = (fs::path(request.folder) / name).string();
  return format != 0;
}

void printProgress(const std::vector<std::unique_ptr<Item>>& items) {
  size_t finished = 0;
  std::string running;
  for (const auto& item : items) {
    if (item->done) {
      ++finished;
    } else if (item->permille >= 0) {
      running += "  " + fs::path(item->input).filename().string() + " " +
                 std::to_string(item->permille / 10) + "%";
    }
  }
  std::fprintf(stderr, "\r\033[K[%zu/%zu done]%s", finished, items.size(), running.c_str());
  std::fflush(stderr);
}

void printTable(const std::vector<std::unique_ptr<Item>>& items) {
  size_t width = 4;
  for (const auto& item : items) width = std::max(width, item->input.size());
  std::fprintf(stderr, "%-*s  %-6s  %8s  %9s  %s\n", int(width), "file", "status", "seconds",
               "peak dBFS", "output");
  for (const auto& item : items) {
    if (item->error.empty()) {
      std::fprintf(stderr, "%-*s  %-6s  %8.2f  %9.1f  %s\n", int(width), item->input.c_str(), "ok",
                   item->result.seconds, toDecibels(item->result.peak), item->output.c_str());
    } else {
      std::fprintf(stderr, "%-*s  %-6s  %8s  %9s  %s\n", int(width), item->input.c_str(),
                   "failed", "-", "-", "-");
    }
  }
}

}  // namespace

int runBatch(const Plan& plan, const BatchRequest& request) {
  std::error_code made;
  fs::create_directories(request.folder, made);
  if (made || !fs::is_directory(request.folder)) {
    std::fprintf(stderr, "tarnwick-render: cannot make the output folder '%s'\n",
                 request.folder.c_str());
    return kExitFailure;
  }
  std::vector<std::unique_ptr<Item>> items;
  std::map<std::string, std::string> taken;  // output path → the input that claimed it
  for (const std::string& input : request.files) {
    auto item = std::make_unique<Item>();
    item->input = input;
    std::string error;
    if (!outputFor(input, request, item.get(), &error)) {
      item->error = error;
    } else if (auto claimed = taken.find(item->output); claimed != taken.end()) {
      item->error = "writes the same output '" + item->output + "' as '" + claimed->second + "'";
    } else {
      taken[item->output] = input;
    }
    if (!item->error.empty()) {
      std::fprintf(stderr, "tarnwick-render: %s: %s\n", input.c_str(), item->error.c_str());
      item->done = true;
    }
    items.push_back(std::move(item));
  }

  const bool progress = !plan.base.quiet && isatty(STDERR_FILENO);
  // Each worker takes the next file; one instance per file, on the worker's thread.
  std::atomic<size_t> next{0};
  std::atomic<size_t> running{0};
  const auto work = [&] {
    for (size_t i = next++; i < items.size(); i = next++) {
      Item& item = *items[i];
      if (item.done) continue;
      item.permille = 0;
      const auto report = [&item](size_t done, size_t total) {
        item.permille = static_cast<int>(1000 * done / (total ? total : 1));
      };
      std::string error;
      if (!renderFile(plan, item.input, item.output, item.format, report, &item.result,
                      &error)) {
        item.error = error.empty() ? "failed" : error;
        const bool named = item.error.find(item.input) != std::string::npos;
        std::fprintf(stderr, "%starnwick-render: %s%s%s\n", progress ? "\r\033[K" : "",
                     named ? "" : item.input.c_str(), named ? "" : ": ", item.error.c_str());
      }
      item.done = true;
    }
    --running;
  };
  const int jobs = std::max(1, std::min<int>(request.jobs, static_cast<int>(items.size())));
  std::vector<std::thread> workers;
  running = jobs;
  for (int j = 0; j < jobs; ++j) workers.emplace_back(work);

  while (running > 0) {
    if (progress) printProgress(items);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  for (auto& worker : workers) worker.join();
  if (progress) {
    printProgress(items);
    std::fputc('\n', stderr);
  }

  size_t failed = 0;
  for (const auto& item : items) failed += item->error.empty() ? 0 : 1;
  if (!plan.base.quiet) {
    printTable(items);
    std::fprintf(stderr, "tarnwick-render: %zu of %zu files rendered into %s%s\n",
                 items.size() - failed, items.size(), request.folder.c_str(),
                 failed ? (", " + std::to_string(failed) + " failed").c_str() : "");
  }
  return failed ? kExitFailure : 0;
}

}  // namespace render
