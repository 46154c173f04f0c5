// byteappend: COUNT = byteappend(FILENAME, DATA) appends the bytes of an
// unsigned 8-bit array, in storage (column-major) order, to the end of a
// file, creating it when missing, and returns the number of bytes written.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "kyx.h"

namespace {

struct StreamCloser {
    void operator()(std::FILE* stream) const noexcept { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

struct AppendTarget {
    Stream stream;
    const kyArray* data;
};

// Checks the arguments in order and opens the named file for appending.
AppendTarget openForAppend(int outputCount, int inputCount, const kyArray* inputs[])
{
    if (inputCount < 2) kyxErrMsgTxt("Too few input arguments");
    if (inputCount > 2) kyxErrMsgTxt("Too many input arguments");
    if (outputCount > 1) kyxErrMsgTxt("Too many output arguments");
    const kyArray* fileName = inputs[0];
    const kyArray* data = inputs[1];
    if (!kyIsChar(fileName)) kyxErrMsgTxt("FILENAME must be a string");
    if (!kyIsUint8(data)) kyxErrMsgTxt("Class of data array must be uint8");

    // The name is read as a NUL-terminated string: an embedded NUL would
    // silently cut it and open a different, shorter name.
    const std::int64_t nameLength = static_cast<std::int64_t>(kyGetM(fileName)) * kyGetN(fileName);
    if (nameLength > 0 && std::memchr(kyGetPr(fileName), '\0', static_cast<std::size_t>(nameLength)) != nullptr)
        kyxErrMsgTxt("FILENAME must not contain NUL characters");

    // Twice the character count plus one: room for the name in any
    // multi-byte encoding and its terminator.
    const std::int64_t bufferSize = 2 * nameLength + 1;
    if (bufferSize > INT32_MAX) kyxErrMsgTxt(std::strerror(ENAMETOOLONG));
    auto* name = static_cast<char*>(kyCalloc(static_cast<std::size_t>(bufferSize), 1));
    kyGetString(fileName, name, static_cast<std::int32_t>(bufferSize));

    Stream stream(std::fopen(name, "ab"));
    if (!stream) kyxErrMsgTxt(std::strerror(errno));
    kyFree(name);
    return {std::move(stream), data};
}

}  // namespace

extern "C" KYX_EXPORT void kyxFunction(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    AppendTarget target = openForAppend(outputCount, inputCount, inputs);

    // Unbuffered: every byte fwrite counts has been accepted by write(), so
    // a short write (a full disk) shows in fwrite's own count instead of
    // surfacing later, when the buffer is flushed at close.
    if (std::setvbuf(target.stream.get(), nullptr, _IONBF, 0) != 0) kyxErrMsgTxt(std::strerror(errno));

    const std::int32_t byteCount = kyGetN(target.data) * kyGetM(target.data);
    const auto written = static_cast<std::uint32_t>(
        std::fwrite(kyGetPr(target.data), 1, static_cast<std::size_t>(byteCount), target.stream.get()));
    if (written < static_cast<std::uint32_t>(byteCount)) kyxWarnMsgTxt(std::strerror(errno));

    outputs[0] = kyCreateDoubleMatrix(1, 1, kyREAL);
    kyGetPr(outputs[0])[0] = static_cast<double>(written);

    // A failing close (some file systems report a failed write only there)
    // means the counted bytes may not have reached the file: the count
    // would be a failure reported as success, so the call ends in an error.
    if (std::fclose(target.stream.release()) != 0) kyxErrMsgTxt(std::strerror(errno));
}
