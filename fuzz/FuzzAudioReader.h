#pragma once

#include "audio/LoAudioFileReader.h"
#include "audio/LoSample.h"
#include "audio/LoSampleConverter.h"

// One audio reader on one input: recognise, check support, read the format, read the sample
// (whole and with a small byte limit) and convert its start to the bank's format: 256 frames
// take every path of the conversion that a bank's 65536 take.
inline void exerciseAudioReader(LoAudioFileReader& reader) {
    if (!reader.isRecognized() || !reader.isSupported()) {
        return;
    }
    LoSample format;
    reader.readSampleFormat(format);
    const LoSampleConverter converter(44100.0, 1, 16, false);
    for (const std::uint32_t limit : {0u, 1000u}) {
        LoSample sample;
        reader.readSample(sample, limit);
        LoSample converted;
        converter.convert(converted, sample, 256);
    }
}
