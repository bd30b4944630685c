// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-lv2-ttl <bundle folder> [--with-ui]: writes manifest.ttl and tarnwick.ttl of
// Tarnwick.lv2 from the component's parameter table, so that symbols, names, ranges, defaults and
// units cannot drift from the component; with --with-ui also the two UIs. Exit status
// 0 on success, 1 for a usage error, 2 when a file cannot be written or the table gives two
// parameters one symbol.
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/lv2/lv2_ports.h"
#include "hosts/lv2/turtle_text.h"
#include "hosts/lv2/ui_protocol.h"

namespace {

using namespace tarnwick_lv2;

const char* kPrefixes =
    "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi:  <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprop: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix rsz:   <http://lv2plug.in/ns/ext/resize-port#> .\n"
    "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix kx:    <http://kxstudio.sf.net/ns/lv2ext/external-ui#> .\n"
    "@prefix work:  <http://lv2plug.in/ns/ext/worker#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n";

// Labels of the indexed parameters' values, from the minimum up.
std::vector<std::string> valueLabels(AudioUnitParameterID id) {
  switch (id) {
    case kParamSoundMode:
      return {"Spectral 0",
              "Spectral 1",
              "Spectral 2",
              "Spectral 3",
              "Spectral 4",
              "Spectral 5",
              "Filter Bank (zero phase)",
              "Filter Bank (cascade)"};
    case kParamOscAWaveform:
    case kParamOscBWaveform:
      // The first name is the waveform, the second the sample set the index selects when
      // Waves/Samples is on Samples (sets 1 to 8; indices above 7 are limited to 7 there).
      return {"Pulse / Set 1",
              "Sawtooth / Set 2",
              "Damped Saw / Set 3",
              "Damped Triangle / Set 4",
              "Square / Set 5",
              "Damped Square / Set 6",
              "Circular / Set 7",
              "Curvation / Set 8",
              "Distorted Saw",
              "Harsh",
              "Silent"};
    case kParamOscAModSource:
    case kParamOscBModSource:
      return {"LFO", "Speech Level", "Speech Brightness", "Off"};
    case kParamSynthBaseOctave:
      return {"-2", "-1", "0", "+1", "+2"};
    case kParamWavesSamples:
      return {"Waves", "Samples"};
    default:
      return {};
  }
}

const char* unitUri(AudioUnitParameterUnit unit) {
  switch (unit) {
    case kAudioUnitParameterUnit_Percent:
      return "units:pc";
    case kAudioUnitParameterUnit_Hertz:
      return "units:hz";
    case kAudioUnitParameterUnit_Cents:
      return "units:cent";
    case kAudioUnitParameterUnit_RelativeSemiTones:
      return "units:semitone12TET";
    case kAudioUnitParameterUnit_LinearGain:  // the table's gains are decibels, −12 … +12
    case kAudioUnitParameterUnit_Decibels:
      return "units:db";
    default:
      return nullptr;
  }
}

void audioPort(std::ostream& out, uint32_t index, bool input, const char* symbol, const char* name,
               const char* group, const char* designation, bool sideChain) {
  out << "        a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
      << "        lv2:index " << index << " ;\n"
      << "        lv2:symbol \"" << symbol << "\" ;\n"
      << "        lv2:name \"" << name << "\" ;\n"
      << "        pg:group " << group << " ;\n"
      << "        lv2:designation " << designation;
  if (sideChain) out << " ;\n        lv2:portProperty lv2:isSideChain";
  out << "\n";
}

bool writeParameterPort(std::ostream& out, AudioUnitParameterID id, std::set<std::string>& used) {
  const ParameterDescription& d = parameterDescription(id);
  const std::string symbol = symbolForName(d.name);
  if (!used.insert(symbol).second) {
    std::fprintf(stderr, "tarnwick-lv2-ttl: two ports would be named '%s'\n", symbol.c_str());
    return false;
  }
  out << "        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << kFirstParameterPort + id << " ;\n"
      << "        lv2:symbol \"" << symbol << "\" ;\n"
      << "        lv2:name " << turtleString(d.name) << " ;\n"
      << "        lv2:default " << turtleNumber(d.defaultValue) << " ;\n"
      << "        lv2:minimum " << turtleNumber(d.minValue) << " ;\n"
      << "        lv2:maximum " << turtleNumber(d.maxValue);
  if (const char* unit = unitUri(d.unit)) out << " ;\n        units:unit " << unit;
  if (d.unit == kAudioUnitParameterUnit_Boolean) {
    out << " ;\n        lv2:portProperty lv2:toggled";
  } else if (d.unit == kAudioUnitParameterUnit_Indexed) {
    out << " ;\n        lv2:portProperty lv2:integer , lv2:enumeration";
    const std::vector<std::string> labels = valueLabels(id);
    const int count = static_cast<int>(d.maxValue - d.minValue) + 1;
    if (static_cast<int>(labels.size()) != count) {
      std::fprintf(stderr, "tarnwick-lv2-ttl: parameter '%s' has %d values but %zu labels\n",
                   d.name, count, labels.size());
      return false;
    }
    for (int i = 0; i < count; ++i) {
      out << " ;\n        lv2:scalePoint [ rdfs:label " << turtleString(labels[i])
          << " ; rdf:value " << turtleNumber(d.minValue + i) << " ]";
    }
  }
  out << "\n";
  return true;
}

bool gWithUi = false;

// Both UIs: urid:map is all they require; the rest they use when the host offers it.
void writeUis(std::ostream& out) {
  out << "\nkx:Widget a rdfs:Class ;\n    rdfs:subClassOf ui:UI .\n"
      << "kx:Host a lv2:Feature .\n\n";
  const auto common = [&out](const char* features) {
    out << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature " << features << " ;\n"
        << "    opts:supportedOption ui:scaleFactor ;\n"
        << "    ui:portNotification [\n"
        << "        ui:plugin <" << kPluginUri << "> ;\n"
        << "        lv2:symbol \"notify\" ;\n"
        << "        ui:protocol atom:eventTransfer\n"
        << "    ] .\n\n";
  };
  out << "<" << kUiUri << ">\n"
      << "    a ui:X11UI ;\n"
      << "    lv2:extensionData ui:idleInterface , ui:showInterface , ui:resize ;\n";
  common("ui:parent , ui:resize , ui:touch , ui:idleInterface , opts:options");
  out << "<" << kExternalUiUri << ">\n"
      << "    a kx:Widget ;\n";
  common("kx:Host , ui:touch , opts:options");
}

bool writePluginTtl(const std::string& path) {
  std::ostringstream out;
  out << "# SPDX-License-Identifier: GPL-3.0-or-later\n"
      << "# Generated by tarnwick-lv2-ttl from the component's parameter table; do not edit.\n"
      << kPrefixes << "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n\n";
  out << "<#main_in>\n    a pg:StereoGroup , pg:InputGroup ;\n"
         "    lv2:symbol \"main_in\" ;\n    lv2:name \"Main Input (speech)\" .\n\n"
         "<#side_in>\n    a pg:StereoGroup , pg:InputGroup ;\n"
         "    lv2:symbol \"side_in\" ;\n    lv2:name \"Side Chain (carrier)\" ;\n"
         "    pg:sideChainOf <#main_in> .\n\n"
         "<#main_out>\n    a pg:StereoGroup , pg:OutputGroup ;\n"
         "    lv2:symbol \"main_out\" ;\n    lv2:name \"Output\" ;\n"
         "    pg:source <#main_in> .\n\n";
  out << "<" << kPluginUri << ">\n"
      << "    a lv2:Plugin , lv2:SpectralPlugin ;\n"
      << "    doap:name \"Tarnwick\" ;\n"
      << "    doap:license <https://spdx.org/licenses/GPL-3.0-or-later> ;\n"
      << "    rdfs:comment \"Vocoder: speech on the main input shapes a carrier from the side "
         "chain or the built-in synthesiser played by MIDI.\" ;\n"
      << "    lv2:minorVersion " << TARNWICK_VERSION_MINOR << " ;\n"
      << "    lv2:microVersion " << TARNWICK_VERSION_PATCH << " ;\n"
      << "    lv2:binary <" << kBinaryName << "> ;\n"
      << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options , work:schedule ;\n"
      << "    opts:supportedOption bufsz:maxBlockLength ;\n"
      << "    lv2:extensionData state:interface , work:interface ;\n";
  if (gWithUi) out << "    ui:ui <" << kUiUri << "> , <" << kExternalUiUri << "> ;\n";
  out
      << "    pg:mainInput <#main_in> ;\n    pg:mainOutput <#main_out> ;\n";
  out << "    lv2:port [\n";
  audioPort(out, kMainInLeft, true, "in_l", "Speech Left", "<#main_in>", "pg:left", false);
  out << "    ] , [\n";
  audioPort(out, kMainInRight, true, "in_r", "Speech Right", "<#main_in>", "pg:right", false);
  out << "    ] , [\n";
  audioPort(out, kSideInLeft, true, "side_l", "Carrier Left", "<#side_in>", "pg:left", true);
  out << "    ] , [\n";
  audioPort(out, kSideInRight, true, "side_r", "Carrier Right", "<#side_in>", "pg:right", true);
  out << "    ] , [\n";
  audioPort(out, kOutLeft, false, "out_l", "Output Left", "<#main_out>", "pg:left", false);
  out << "    ] , [\n";
  audioPort(out, kOutRight, false, "out_r", "Output Right", "<#main_out>", "pg:right", false);
  out << "    ] , [\n"
      << "        a lv2:InputPort , atom:AtomPort ;\n"
      << "        lv2:index " << kMidiIn << " ;\n"
      << "        lv2:symbol \"midi_in\" ;\n"
      << "        lv2:name \"MIDI In\" ;\n"
      << "        atom:bufferType atom:Sequence ;\n"
      << "        atom:supports midi:MidiEvent ;\n"
      << "        lv2:designation lv2:control ;\n"
      << "        lv2:portProperty lv2:connectionOptional\n";
  std::set<std::string> used{"in_l",  "in_r",    "side_l",  "side_r", "out_l",
                             "out_r", "midi_in", "latency", "ui_in",  "notify"};
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    out << "    ] , [\n";
    if (!writeParameterPort(out, id, used)) return false;
  }
  out << "    ] , [\n"
      << "        a lv2:OutputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << kLatencyPort << " ;\n"
      << "        lv2:symbol \"latency\" ;\n"
      << "        lv2:name \"Latency\" ;\n"
      << "        lv2:designation lv2:latency ;\n"
      << "        lv2:minimum 0 ;\n        lv2:maximum " << turtleNumber(kLatencyFrames) << " ;\n"
      << "        units:unit units:frame ;\n"
      << "        lv2:portProperty lv2:reportsLatency , lv2:integer , pprop:notOnGUI\n";
  for (int band = 0; band < kBandCount; ++band) {
    const std::string symbol = bandLevelSymbol(band);
    if (!used.insert(symbol).second) return false;
    const char* hz[] = {"32 Hz", "64 Hz", "125 Hz", "250 Hz", "500 Hz",
                        "1 kHz", "2 kHz", "4 kHz",  "8 kHz",  "16 kHz"};
    out << "    ] , [\n"
        << "        a lv2:OutputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << kFirstBandLevelPort + band << " ;\n"
        << "        lv2:symbol \"" << symbol << "\" ;\n"
        << "        lv2:name \"Level " << hz[band] << "\" ;\n"
        << "        lv2:minimum 0.0 ;\n        lv2:maximum " << turtleNumber(kBandLevelMaximum)
        << " ;\n        lv2:default 0.0\n";
  }
  out << "    ] , [\n"
      << "        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << kEnabledPort << " ;\n"
      << "        lv2:symbol \"enabled\" ;\n"
      << "        lv2:name \"Enabled\" ;\n"
      << "        lv2:designation lv2:enabled ;\n"
      << "        lv2:default 1 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1 ;\n"
      << "        lv2:portProperty lv2:toggled , lv2:integer\n";
  // The UI's messages (hosts/lv2/ui_protocol.h).
  out << "    ] , [\n"
      << "        a lv2:InputPort , atom:AtomPort ;\n"
      << "        lv2:index " << kUiInPort << " ;\n"
      << "        lv2:symbol \"ui_in\" ;\n"
      << "        lv2:name \"UI Messages In\" ;\n"
      << "        atom:bufferType atom:Sequence ;\n"
      << "        atom:supports atom:Object ;\n"
      << "        lv2:portProperty lv2:connectionOptional , pprop:notOnGUI\n"
      << "    ] , [\n"
      << "        a lv2:OutputPort , atom:AtomPort ;\n"
      << "        lv2:index " << kUiOutPort << " ;\n"
      << "        lv2:symbol \"notify\" ;\n"
      << "        lv2:name \"UI Messages Out\" ;\n"
      << "        atom:bufferType atom:Sequence ;\n"
      << "        atom:supports atom:Object ;\n"
      << "        rsz:minimumSize " << kUiOutMinimumBytes << " ;\n"
      << "        lv2:portProperty lv2:connectionOptional , pprop:notOnGUI\n";
  out << "    ] .\n";
  if (gWithUi) writeUis(out);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << out.str();
  return static_cast<bool>(file.flush());
}

bool writeManifest(const std::string& path) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << "# SPDX-License-Identifier: GPL-3.0-or-later\n"
       << "# Generated by tarnwick-lv2-ttl; do not edit.\n"
       << "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
       << "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
       << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
       << "<" << kPluginUri << ">\n"
       << "    a lv2:Plugin ;\n"
       << "    doap:name \"Tarnwick\" ;\n"
       << "    lv2:binary <" << kBinaryName << "> ;\n"
       << "    rdfs:seeAlso <tarnwick.ttl> , <presets.ttl> .\n";  // presets: tarnwick-preset --lv2
  if (gWithUi) {
    // The external-window UI's class, for tools that check every type is a class.
    file << "\n<" << kExternalUiWidgetUri << ">\n"
         << "    a rdfs:Class ;\n"
         << "    rdfs:subClassOf <http://lv2plug.in/ns/extensions/ui#UI> .\n";
    file << "\n<" << kUiUri << ">\n"
         << "    a <http://lv2plug.in/ns/extensions/ui#X11UI> ;\n"
         << "    <http://lv2plug.in/ns/extensions/ui#binary> <" << kUiBinaryName << "> ;\n"
         << "    rdfs:seeAlso <tarnwick.ttl> .\n\n"
         << "<" << kExternalUiUri << ">\n"
         << "    a <" << kExternalUiWidgetUri << "> ;\n"
         << "    <http://lv2plug.in/ns/extensions/ui#binary> <" << kUiBinaryName << "> ;\n"
         << "    rdfs:seeAlso <tarnwick.ttl> .\n";
  }
  return static_cast<bool>(file.flush());
}


}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || (argc == 3 && std::string(argv[2]) != "--with-ui")) {
    std::fprintf(stderr, "usage: tarnwick-lv2-ttl <bundle folder> [--with-ui]\n");
    return 1;
  }
  const std::string folder = argv[1];
  gWithUi = argc == 3;
  if (!writePluginTtl(folder + "/tarnwick.ttl") || !writeManifest(folder + "/manifest.ttl")) {
    std::fprintf(stderr, "tarnwick-lv2-ttl: cannot write the ttl files into '%s'\n",
                 folder.c_str());
    return 2;
  }
  return 0;
}
