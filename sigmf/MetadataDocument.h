#pragma once
// SigMF metadata documents as a save writes them: a recording's own metadata
// with only its annotations replaced, or the metadata of a file that SigMF
// describes in place (a WAV, IQW or raw recording), naming it as its dataset.

#include "io/RecordingContents.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// `metadata` (a SigMF document's text, from the file called `name`) with
// "annotations" holding the annotations' objects and the `unread` entries as
// they were, sorted by core:sample_start (entries without a whole start last,
// ties in the order given); every other member keeps its value and place. With
// withoutDataset, the global core:dataset is taken out (a copy whose data file
// lies beside it). Two-space indented, ending in a newline. Throws
// std::runtime_error when the text is not a JSON object or nests deeper than
// maxMetadataDepth (io/MetadataJson), the JSON library's exception when it is
// no JSON.
std::string metadataWithAnnotations(const std::string& metadata, const std::string& name,
                                    const std::vector<RecordingAnnotation>& annotations,
                                    const std::vector<std::string>& unread,
                                    bool withoutDataset = false);

// What the metadata of a recording read in place says.
struct DatasetFacts
{
    std::string dataset;       // the file's name, in the metadata's folder
    std::string datatype;      // SigMF datatype with its byte order, "cu8_le", "ci16_le" ...
    double sampleRate = 0;  // samples per second, exactly
    uint64_t headerBytes = 0;  // before the first sample
    uint64_t trailingBytes = 0; // after the last whole sample
    std::optional<double> frequency;
    std::string datetime;      // ISO 8601, empty when unknown
};

// A whole metadata document (SigMF 1.2) for the facts, with one capture and the
// annotations sorted as above.
std::string datasetMetadata(const DatasetFacts& facts,
                            const std::vector<RecordingAnnotation>& annotations);
