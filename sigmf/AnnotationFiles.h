#pragma once
// The files an annotation save writes, each under a temporary name beside it,
// flushed to the disk and renamed when complete, so that a failed save leaves
// the file there before whole: a SigMF metadata file rewritten in place, the
// metadata of a recording that SigMF describes in place, and a copy of a SigMF
// recording (one read from an archive) as a new pair or archive. A recording's
// data file is never written.

#include "io/RecordingContents.h"
#include "io/SampleSource.h"
#include "sigmf/MetadataDocument.h"

#include <cstdint>
#include <string>
#include <vector>

// Rewrites the metadata file at metaPath with the annotations and `unread`
// entries (metadataWithAnnotations): its other members are taken from the file
// as it is now, or from `loadedMetadata` when it is gone. A symbolic link stays
// a link to the rewritten file, which keeps its permissions. Throws
// std::runtime_error ("Cannot write <path>: <reason>", or why the file is no
// metadata now).
void rewriteMetadataFile(const std::string& metaPath, const std::string& loadedMetadata,
                         const std::vector<RecordingAnnotation>& annotations,
                         const std::vector<std::string>& unread);

// The metadata file that describes the recording at path in place: its name with
// the ending replaced by ".sigmf-meta" ("rec.wav" gives "rec.sigmf-meta").
std::string datasetMetadataPath(const std::string& recordingPath);

// What that metadata says of the recording read from recordingPath: where its
// samples begin and what follows them, datatype, rate, centre frequency and
// start time. Throws std::runtime_error for samples that such metadata cannot
// describe (held in memory, or 24-bit WAV samples, which SigMF cannot name).
DatasetFacts datasetFactsOf(const std::string& recordingPath, const SampleSource& samples,
                            double sampleRate, const RecordingInfo& info);

// Writes a new metadata file at metaPath; refuses one that exists already, or
// that another program made while this one wrote.
void writeDatasetMetadata(const std::string& metaPath, const DatasetFacts& facts,
                          const std::vector<RecordingAnnotation>& annotations);

// A copy of the SigMF recording `origin` describes, its dataset's bytes as they
// are and its metadata with the annotations: a pair when destination ends in
// ".sigmf-meta" (the data file "<name>.sigmf-data" beside it), an archive for
// ".sigmf". Refuses a destination that is the recording's own file.
void writeSigmfCopy(const std::string& destination, const SigmfOrigin& origin,
                    const std::vector<RecordingAnnotation>& annotations);
