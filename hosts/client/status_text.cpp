// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/client/status_text.h"

#include "platform/au/component_bundle.h"

namespace host_client {
namespace {

struct Named {
  OSStatus status;
  const char* name;
};

constexpr Named kNames[] = {
    {noErr, "noErr"},
    {paramErr, "paramErr"},
    {fnfErr, "fnfErr"},
    {memFullErr, "memFullErr"},
    {badComponentInstance, "badComponentInstance"},
    {badComponentSelector, "badComponentSelector"},
    {kAudioUnitErr_InvalidProperty, "kAudioUnitErr_InvalidProperty"},
    {kAudioUnitErr_InvalidParameter, "kAudioUnitErr_InvalidParameter"},
    {kAudioUnitErr_InvalidElement, "kAudioUnitErr_InvalidElement"},
    {kAudioUnitErr_NoConnection, "kAudioUnitErr_NoConnection"},
    {kAudioUnitErr_FailedInitialization, "kAudioUnitErr_FailedInitialization"},
    {kAudioUnitErr_TooManyFramesToProcess, "kAudioUnitErr_TooManyFramesToProcess"},
    {kAudioUnitErr_InvalidFile, "kAudioUnitErr_InvalidFile"},
    {kAudioUnitErr_FormatNotSupported, "kAudioUnitErr_FormatNotSupported"},
    {kAudioUnitErr_Uninitialized, "kAudioUnitErr_Uninitialized"},
    {kAudioUnitErr_InvalidScope, "kAudioUnitErr_InvalidScope"},
    {kAudioUnitErr_PropertyNotWritable, "kAudioUnitErr_PropertyNotWritable"},
    {kAudioUnitErr_CannotDoInCurrentContext, "kAudioUnitErr_CannotDoInCurrentContext"},
    {kAudioUnitErr_InvalidPropertyValue, "kAudioUnitErr_InvalidPropertyValue"},
    {kAudioUnitErr_PropertyNotInUse, "kAudioUnitErr_PropertyNotInUse"},
    {kAudioUnitErr_Initialized, "kAudioUnitErr_Initialized"},
    {kComponentBundleErr_NoExecutable, "kComponentBundleErr_NoExecutable"},
    {kComponentBundleErr_LoadFailed, "kComponentBundleErr_LoadFailed"},
    {kComponentBundleErr_NoEntrySymbol, "kComponentBundleErr_NoEntrySymbol"},
};

const char* nameOf(OSStatus status) {
  for (const Named& named : kNames) {
    if (named.status == status) return named.name;
  }
  return nullptr;
}

}  // namespace

std::string statusText(OSStatus status) {
  const char* name = nameOf(status);
  const std::string number = std::to_string(status);
  return name ? std::string(name) + " (" + number + ")" : "status " + number;
}

std::string failureText(const std::string& what, OSStatus status) {
  const char* name = nameOf(status);
  return what + " failed (status " + std::to_string(status) + (name ? std::string(", ") + name : "") +
         ")";
}

}  // namespace host_client
