#pragma once
// Found bursts as SigMF annotations: label "burst", their span and band,
// core:generator and core:uuid as every annotation Norvale makes, and what was
// measured of each in our own namespace (norvale:snr_db), which a save declares
// in core:extensions.

#include "dsp/BurstDetector.h"
#include "io/RecordingContents.h"

#include <string>
#include <vector>

// The label every found burst gets.
inline constexpr const char* burstLabel = "burst";

// One burst of `info`'s recording (edges absolute when its capture gives a
// centre frequency, as any new annotation), with the given UUID.
RecordingAnnotation burstAnnotation(const Burst& burst, const RecordingInfo& info, const std::string& uuid);
// All of them, each with a new random UUID.
std::vector<RecordingAnnotation> burstAnnotations(const std::vector<Burst>& bursts, const RecordingInfo& info);
