// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/HalTypes.h"
#include "platform/server/Transport.h"

namespace voxlane {

// Objects.
inline constexpr AudioObjectID kAudioObjectUnknown = 0;
inline constexpr AudioObjectID kAudioObjectSystemObject = 1;

// Scopes and elements.
inline constexpr AudioObjectPropertyScope kAudioObjectPropertyScopeGlobal = fourCC("glob");
inline constexpr AudioObjectPropertyScope kAudioObjectPropertyScopeInput = fourCC("inpt");
inline constexpr AudioObjectPropertyScope kAudioObjectPropertyScopeOutput = fourCC("outp");
inline constexpr AudioObjectPropertyScope kAudioObjectPropertyScopeWildcard = fourCC("****");
inline constexpr AudioObjectPropertyElement kAudioObjectPropertyElementMain = 0;
inline constexpr AudioObjectPropertySelector kAudioObjectPropertySelectorWildcard = fourCC("****");

// System object.
inline constexpr AudioObjectPropertySelector kAudioHardwarePropertyDevices = fourCC("dev#");
inline constexpr AudioObjectPropertySelector kAudioHardwarePropertyProcessObjectList =
    fourCC("prs#");
inline constexpr AudioObjectPropertySelector kAudioHardwarePropertyDefaultOutputDevice =
    fourCC("dOut");
inline constexpr AudioObjectPropertySelector kAudioHardwarePropertyDefaultInputDevice =
    fourCC("dIn ");
inline constexpr AudioObjectPropertySelector kAudioHardwarePropertyDefaultSystemOutputDevice =
    fourCC("sOut");
// Whether the audio server is reachable (UInt32, 0 or 1). A server that is not has no devices
// and no processes; servers that are always there answer 1 or not at all.
inline constexpr AudioObjectPropertySelector kAudioHardwarePropertyServerConnected = fourCC("srv?");
// Qualifier: the pid (Int32) to translate.
inline constexpr AudioObjectPropertySelector kAudioHardwarePropertyTranslatePIDToProcessObject =
    fourCC("id2p");

// Every object.
inline constexpr AudioObjectPropertySelector kAudioObjectPropertyName = fourCC("lnam");

// Devices.
inline constexpr AudioObjectPropertySelector kAudioDevicePropertyDeviceUID = fourCC("uid ");
inline constexpr AudioObjectPropertySelector kAudioDevicePropertyTransportType = fourCC("tran");
inline constexpr AudioObjectPropertySelector kAudioDevicePropertyStreams = fourCC("stm#");
inline constexpr AudioObjectPropertySelector kAudioHardwareServiceDeviceProperty_VirtualMainVolume =
    fourCC("vmvc");
inline constexpr AudioObjectPropertySelector kAudioDevicePropertyVolumeScalar = fourCC("volm");
inline constexpr AudioObjectPropertySelector kAudioDevicePropertyMute = fourCC("mute");
inline constexpr AudioObjectPropertySelector kAudioDevicePropertyNominalSampleRate = fourCC("nsrt");
inline constexpr AudioObjectPropertySelector kAudioDevicePropertyIOProcStreamUsage = fourCC("suse");

// Process taps.
inline constexpr AudioObjectPropertySelector kAudioTapPropertyUID = fourCC("tuid");
inline constexpr AudioObjectPropertySelector kAudioTapPropertyFormat = fourCC("tfmt");

// Process objects.
inline constexpr AudioObjectPropertySelector kAudioProcessPropertyPID = fourCC("ppid");
inline constexpr AudioObjectPropertySelector kAudioProcessPropertyBundleID = fourCC("pbid");
inline constexpr AudioObjectPropertySelector kAudioProcessPropertyIsRunningOutput = fourCC("piro");
inline constexpr AudioObjectPropertySelector kAudioProcessPropertyIsRunningInput = fourCC("piri");

// Stream formats.
inline constexpr std::uint32_t kAudioFormatLinearPCM = fourCC("lpcm");
inline constexpr std::uint32_t kAudioFormatFlagIsFloat = 1u << 0;
inline constexpr std::uint32_t kAudioFormatFlagIsPacked = 1u << 3;
inline constexpr std::uint32_t kAudioFormatFlagIsNonInterleaved = 1u << 5;

// Status codes.
inline constexpr OSStatus kAudioHardwareNoError = 0;
inline constexpr OSStatus kAudioHardwareNotRunningError = OSStatus(fourCC("stop"));
inline constexpr OSStatus kAudioHardwareUnspecifiedError = OSStatus(fourCC("what"));
inline constexpr OSStatus kAudioHardwareUnknownPropertyError = OSStatus(fourCC("who?"));
inline constexpr OSStatus kAudioHardwareBadPropertySizeError = OSStatus(fourCC("!siz"));
inline constexpr OSStatus kAudioHardwareIllegalOperationError = OSStatus(fourCC("nope"));
inline constexpr OSStatus kAudioHardwareBadObjectError = OSStatus(fourCC("!obj"));
inline constexpr OSStatus kAudioHardwareBadDeviceError = OSStatus(fourCC("!dev"));
inline constexpr OSStatus kAudioHardwareBadStreamError = OSStatus(fourCC("!str"));
inline constexpr OSStatus kAudioHardwareUnsupportedOperationError = OSStatus(fourCC("unop"));
inline constexpr OSStatus kAudioDevicePermissionsError = OSStatus(fourCC("!hog"));
inline constexpr OSStatus kAudioHardwareNotPermittedError = OSStatus(fourCC("!pem"));
inline constexpr OSStatus kAudio_ParamError = -50;

} // namespace voxlane
