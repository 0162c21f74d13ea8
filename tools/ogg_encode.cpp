// Converts a WAV file into Ogg Vorbis with libsndfile, for the piano cues made at build time.
// Usage: ogg_encode INPUT.wav OUTPUT.ogg

#include <sndfile.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s INPUT.wav OUTPUT.ogg\n", argv[0]);
    return 2;
  }
  SF_INFO inputInfo{};
  SNDFILE* input = sf_open(argv[1], SFM_READ, &inputInfo);
  if (!input) {
    std::fprintf(stderr, "%s: %s\n", argv[1], sf_strerror(nullptr));
    return 1;
  }
  SF_INFO outputInfo{};
  outputInfo.samplerate = inputInfo.samplerate;
  outputInfo.channels = inputInfo.channels;
  outputInfo.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
  SNDFILE* output = sf_open(argv[2], SFM_WRITE, &outputInfo);
  if (!output) {
    std::fprintf(stderr, "%s: %s\n", argv[2], sf_strerror(nullptr));
    sf_close(input);
    return 1;
  }
  // Quality 0.4 keeps a three-second cue near 20 KB without audible artefacts.
  double quality = 0.4;
  sf_command(output, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
  std::vector<float> buffer(4096 * static_cast<size_t>(inputInfo.channels));
  sf_count_t frames = 0;
  while ((frames = sf_readf_float(input, buffer.data(), 4096)) > 0) {
    if (sf_writef_float(output, buffer.data(), frames) != frames) {
      std::fprintf(stderr, "%s: %s\n", argv[2], sf_strerror(output));
      sf_close(input);
      sf_close(output);
      return 1;
    }
  }
  sf_close(input);
  sf_close(output);
  return 0;
}
