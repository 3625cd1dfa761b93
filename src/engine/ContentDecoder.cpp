#include "engine/ContentDecoder.h"

#include <brotli/decode.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "text/UrlText.h"

namespace tarnwick {

namespace {

constexpr std::size_t kInputSize = 65536;
// The libraries always move when they have room and input; a step that moves nothing this many
// times in a row means a stream we cannot get through.
constexpr int kMaxStalls = 4;

enum class TStep { Progress, StreamEnd, NeedInput, Error };

}  // namespace

class TDecodingSource::TEngine {
 public:
  virtual ~TEngine() = default;
  virtual TStep Step(const std::uint8_t* in, std::size_t inLength, std::size_t& consumed, std::uint8_t* out,
                     std::size_t outLength, std::size_t& produced) = 0;
  // After the end of one stream: whether `in` starts another one that belongs to the same body
  // (gzip allows several members); the engine is then ready for it.
  virtual bool StartNext(const std::uint8_t*, std::size_t) { return false; }
};

namespace {

// A zlib header: compression method 8, a window of at most 32 KiB, and a check value that makes the
// two bytes a multiple of 31. Servers send "deflate" both with and without it.
bool LooksLikeZlibHeader(const std::uint8_t* in) {
  return (in[0] & 0x0F) == 8 && (in[0] >> 4) <= 7 && ((in[0] << 8) | in[1]) % 31 == 0;
}

// ISA-L's inflate reads the same gzip, zlib and raw deflate streams as zlib at about four times its
// speed, which is most of what a compressed page costs over a plain one.
class TDeflateEngine : public TDecodingSource::TEngine {
 public:
  explicit TDeflateEngine(bool gzip) : Gzip(gzip), State(std::make_unique<inflate_state>()) {}

  TStep Step(const std::uint8_t* in, std::size_t inLength, std::size_t& consumed, std::uint8_t* out,
             std::size_t outLength, std::size_t& produced) override {
    consumed = produced = 0;
    if (!Ready) {
      if (inLength < 2) return TStep::NeedInput;
      Start(Gzip ? TWrapper::Gzip : (LooksLikeZlibHeader(in) ? TWrapper::Zlib : TWrapper::Raw));
    }
    State->next_in = const_cast<std::uint8_t*>(in);
    State->avail_in = static_cast<std::uint32_t>(std::min<std::size_t>(inLength, UINT32_MAX));
    State->next_out = out;
    State->avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(outLength, UINT32_MAX));
    const int rc = InGzipHeader ? ReadGzipHeader() : isal_inflate(State.get());
    consumed = static_cast<std::size_t>(State->next_in - in);
    produced = static_cast<std::size_t>(State->next_out - out);
    if (rc == ISAL_END_INPUT) return TStep::NeedInput;
    if (rc != ISAL_DECOMP_OK) return TStep::Error;
    // FINISH, unlike INPUT_DONE, means the last decoded bytes are out and the trailer was checked.
    if (State->block_state == ISAL_BLOCK_FINISH) return TStep::StreamEnd;
    if (State->avail_out == 0) return TStep::Progress;
    return State->avail_in == 0 ? TStep::NeedInput : TStep::Progress;
  }

  bool StartNext(const std::uint8_t* in, std::size_t inLength) override {
    if (!Gzip || inLength < 2 || in[0] != 0x1F || in[1] != 0x8B) return false;
    Start(TWrapper::Gzip);
    return true;
  }

 private:
  enum class TWrapper { Gzip, Zlib, Raw };

  void Start(TWrapper wrapper) {
    isal_inflate_init(State.get());
    // The library's own gzip header reading forgets the header's flags when the header arrives in
    // pieces, so the header is read here with state kept between pieces, and inflate checks only
    // the trailer.
    State->crc_flag = wrapper == TWrapper::Gzip ? ISAL_GZIP_NO_HDR_VER
                      : wrapper == TWrapper::Zlib ? ISAL_ZLIB
                                                  : ISAL_DEFLATE;
    isal_gzip_header_init(&GzipHeader);
    InGzipHeader = wrapper == TWrapper::Gzip;
    Ready = true;
  }

  // ISAL_END_INPUT while the header is incomplete; once it is read, inflates what follows it.
  int ReadGzipHeader() {
    const int rc = isal_read_gzip_header(State.get(), &GzipHeader);
    if (rc != ISAL_DECOMP_OK) return rc;
    InGzipHeader = false;
    return State->avail_in == 0 ? ISAL_END_INPUT : isal_inflate(State.get());
  }

  const bool Gzip;
  bool Ready = false;
  bool InGzipHeader = false;
  // Some tens of KiB of tables: on the heap with the engine, not on a thread's stack.
  std::unique_ptr<inflate_state> State;
  isal_gzip_header GzipHeader{};
};

class TBrotliEngine : public TDecodingSource::TEngine {
 public:
  TBrotliEngine() : State(BrotliDecoderCreateInstance(nullptr, nullptr, nullptr)) {}
  ~TBrotliEngine() override {
    if (State != nullptr) BrotliDecoderDestroyInstance(State);
  }

  TStep Step(const std::uint8_t* in, std::size_t inLength, std::size_t& consumed, std::uint8_t* out,
             std::size_t outLength, std::size_t& produced) override {
    consumed = produced = 0;
    if (State == nullptr) return TStep::Error;
    const std::uint8_t* nextIn = in;
    std::size_t availableIn = inLength;
    std::uint8_t* nextOut = out;
    std::size_t availableOut = outLength;
    const BrotliDecoderResult result =
        BrotliDecoderDecompressStream(State, &availableIn, &nextIn, &availableOut, &nextOut, nullptr);
    consumed = inLength - availableIn;
    produced = outLength - availableOut;
    switch (result) {
      case BROTLI_DECODER_RESULT_SUCCESS:
        return TStep::StreamEnd;
      case BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT:
        return TStep::NeedInput;
      case BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT:
        return TStep::Progress;
      default:
        return TStep::Error;
    }
  }

 private:
  BrotliDecoderState* State;
};

}  // namespace

std::int32_t TMemorySource::Read(std::uint8_t* into, std::int32_t n) {
  const auto take = std::min<std::size_t>(Bytes.size(), static_cast<std::size_t>(std::max(0, std::min(n, Piece))));
  std::memcpy(into, Bytes.data(), take);
  Bytes.remove_prefix(take);
  return static_cast<std::int32_t>(take);
}

TContentCoding ContentCodingOf(std::string_view contentEncoding) {
  const std::string_view coding = TrimBlanks(contentEncoding);
  if (coding.empty() || SameTextIgnoringCase(coding, "identity")) return TContentCoding::Identity;
  if (SameTextIgnoringCase(coding, "gzip") || SameTextIgnoringCase(coding, "x-gzip")) return TContentCoding::Gzip;
  if (SameTextIgnoringCase(coding, "deflate")) return TContentCoding::Deflate;
  if (SameTextIgnoringCase(coding, "br")) return TContentCoding::Brotli;
  return TContentCoding::Unsupported;
}

std::string DecodableCodings(std::string_view acceptEncoding) {
  std::string kept;
  for (const std::string& item : SplitText(acceptEncoding, ',')) {
    const std::string_view trimmed = TrimBlanks(item);
    const std::string_view coding = TrimBlanks(trimmed.substr(0, trimmed.find(';')));
    const TContentCoding known = ContentCodingOf(coding);
    if (known == TContentCoding::Unsupported || coding.empty()) continue;
    if (!kept.empty()) kept += ", ";
    kept += trimmed;
  }
  return kept.empty() ? "identity" : kept;
}

TDecodingSource::TDecodingSource(TContentCoding coding, TByteSource& compressed)
    : Source(compressed), Input(kInputSize) {
  if (coding == TContentCoding::Brotli) {
    Engine = std::make_unique<TBrotliEngine>();
  } else {
    Engine = std::make_unique<TDeflateEngine>(coding != TContentCoding::Deflate);
  }
}

TDecodingSource::~TDecodingSource() = default;

bool TDecodingSource::Refill() {
  if (SourceEnded) return false;
  if (InputAt > 0) {
    std::memmove(Input.data(), Input.data() + InputAt, InputEnd - InputAt);
    InputEnd -= InputAt;
    InputAt = 0;
  }
  if (InputEnd == Input.size()) return true;
  const std::int32_t got = Source.Read(Input.data() + InputEnd, static_cast<std::int32_t>(Input.size() - InputEnd));
  if (got <= 0) {
    SourceEnded = true;
    return false;
  }
  InputEnd += static_cast<std::size_t>(got);
  Compressed += got;
  return true;
}

void TDecodingSource::Count(std::int32_t produced) {
  Decoded += produced;
  if (Decoded > kBombFloor && Decoded > kBombRatio * Compressed) IsOverBound = true;
}

std::int32_t TDecodingSource::Read(std::uint8_t* into, std::int32_t n) {
  bool wantInput = true;
  int stalls = 0;
  while (!Finished && !IsDamaged && n > 0) {
    if (wantInput || InputAt == InputEnd) Refill();
    wantInput = false;
    const std::size_t available = InputEnd - InputAt;
    if (available == 0 && SourceEnded && Compressed == 0) {
      Finished = true;  // an empty body stays empty, whatever its head says
      break;
    }
    std::size_t consumed = 0;
    std::size_t produced = 0;
    const TStep step =
        Engine->Step(Input.data() + InputAt, available, consumed, into, static_cast<std::size_t>(n), produced);
    InputAt += consumed;
    switch (step) {
      case TStep::Error:
        IsDamaged = true;
        break;
      case TStep::StreamEnd:
        if (InputEnd - InputAt < 2) Refill();
        Finished = !Engine->StartNext(Input.data() + InputAt, InputEnd - InputAt);
        break;
      case TStep::NeedInput:
        if (SourceEnded && InputAt == InputEnd) {
          IsDamaged = true;  // the body ended inside the compressed stream
        } else if (SourceEnded && consumed == 0 && produced == 0) {
          IsDamaged = true;  // a stub too short to start a stream
        }
        wantInput = true;
        break;
      case TStep::Progress:
        break;
    }
    if (produced > 0) {
      Count(static_cast<std::int32_t>(produced));
      return static_cast<std::int32_t>(produced);
    }
    stalls = (consumed == 0 && step != TStep::StreamEnd) ? stalls + 1 : 0;
    if (stalls > kMaxStalls && (step != TStep::NeedInput || SourceEnded)) IsDamaged = true;
  }
  return 0;
}

TDecodeResult DecodeAll(TContentCoding coding, std::string_view body, std::int32_t piece, std::int64_t limit) {
  TMemorySource source(body, piece);
  TDecodingSource decoder(coding, source);
  TDecodeResult result;
  std::uint8_t out[4096];
  for (;;) {
    const std::int32_t got = decoder.Read(out, std::min<std::int32_t>(piece, sizeof out));
    if (got == 0) break;
    if (static_cast<std::int64_t>(result.Bytes.size()) < limit) result.Bytes.append(reinterpret_cast<char*>(out), got);
  }
  result.Damaged = decoder.Damaged();
  result.OverBound = decoder.OverBound();
  return result;
}

}  // namespace tarnwick
