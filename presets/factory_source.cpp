// SPDX-License-Identifier: GPL-3.0-or-later
#include "presets/factory_source.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "component/parameter_table.h"
#include "presets/preset_settings.h"

namespace tarnwick_presets {

namespace {

constexpr int kHighestKey = 127;

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::string decimal(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

struct Draft {
  std::string name;
  std::array<float, kParameterCount> parameters{};
  std::vector<int> keys;
};

Draft freshDraft(const std::string& name) {
  Draft draft;
  draft.name = name;
  for (int id = 0; id < kParameterCount; ++id) {
    draft.parameters[id] = parameterDescription(static_cast<AudioUnitParameterID>(id)).defaultValue;
  }
  return draft;
}

bool storeDraft(const Draft& draft, PresetList& list, std::string* error) {
  const auto slots = heldKeySlots(draft.keys);
  std::vector<float> keyList(slots.begin(), slots.end());
  return list.store(presetFromSettings(draft.name, draft.parameters, keyList), error).has_value();
}

}  // namespace

std::optional<int> parseKey(const std::string& text) {
  int key = 0;
  const char* end = text.data() + text.size();
  if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) {
    const auto parsed = std::from_chars(text.data(), end, key);
    if (parsed.ec != std::errc() || parsed.ptr != end) return std::nullopt;
  } else {
    static const int kPitchClass[] = {9, 11, 0, 2, 4, 5, 7};  // A … G
    if (text.empty() || text[0] < 'A' || text[0] > 'G') return std::nullopt;
    int pitch = kPitchClass[text[0] - 'A'];
    size_t at = 1;
    if (at < text.size() && (text[at] == '#' || text[at] == 'b')) {
      pitch += text[at] == '#' ? 1 : -1;
      ++at;
    }
    int octave = 0;
    const auto parsed = std::from_chars(text.data() + at, end, octave);
    if (at == text.size() || parsed.ec != std::errc() || parsed.ptr != end) return std::nullopt;
    if (octave < -1 || octave > 9) return std::nullopt;
    key = (octave + 1) * 12 + pitch;
  }
  if (key < 0 || key > kHighestKey) return std::nullopt;
  return key;
}

std::optional<PresetList> buildFromSource(const std::string& text, std::string* error) {
  PresetList list;
  std::optional<Draft> draft;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(number) + ": " + why;
    return std::nullopt;
  };
  while (std::getline(lines, line)) {
    ++number;
    line = trimmed(line);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3) return fail("a preset name is written [Name]");
      if (draft && !storeDraft(*draft, list, error)) return fail(error ? *error : "");
      const std::string name = trimmed(line.substr(1, line.size() - 2));
      if (list.find(name)) return fail("a second preset named '" + name + "'");
      draft = freshDraft(name);
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return fail("expected NAME = VALUE");
    if (!draft) return fail("a setting before the first [Name]");
    const std::string key = trimmed(line.substr(0, equals));
    const std::string value = trimmed(line.substr(equals + 1));
    if (key == "Keys") {
      std::istringstream words(value);
      std::string word;
      while (words >> word) {
        const std::optional<int> note = parseKey(word);
        if (!note) return fail("'" + word + "' is not a key (0 … 127, or a name like C4)");
        draft->keys.push_back(*note);
      }
      continue;
    }
    const std::optional<AudioUnitParameterID> id = parameterIdForName(key);
    if (!id) return fail("no parameter is named '" + key + "'");
    const ParameterDescription& range = parameterDescription(*id);
    float parsed = 0.0f;
    const auto result = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (result.ec != std::errc() || result.ptr != value.data() + value.size() ||
        !(parsed >= range.minValue && parsed <= range.maxValue)) {
      return fail("'" + value + "' is not a value of '" + key + "' (" + decimal(range.minValue) +
                  " … " + decimal(range.maxValue) + ")");
    }
    draft->parameters[*id] = parsed;
  }
  if (draft && !storeDraft(*draft, list, error)) return fail(error ? *error : "");
  return list;
}

}  // namespace tarnwick_presets
