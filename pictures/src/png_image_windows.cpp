// PNG encoding on Windows, through the system's imaging component (WIC): the
// same pictures as libspng gives elsewhere, pixel for pixel.
#include <tavro/pictures/png_image.h>

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstdio>
#include <memory>

#include <tavro/core/try.h>

namespace tavro::pictures {
namespace {

struct Releaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class T> using Com = std::unique_ptr<T, Releaser>;

std::unexpected<core::EngineError> encodingFailure(core::Cause cause, HRESULT result = S_OK) {
    char reason[48] = "";
    if (FAILED(result))
        std::snprintf(reason, sizeof reason, "Windows Imaging Component error 0x%08lX",
                      static_cast<unsigned long>(result));
    return std::unexpected(core::EngineError{.operation = core::Operation::SavePicture,
                                             .file = core::FileRole::Picture,
                                             .step = core::Step::Encode,
                                             .cause = cause,
                                             .reason = reason,
                                             .code = static_cast<int>(result)});
}

std::unexpected<core::EngineError> wicFailure(HRESULT result) { return encodingFailure(core::Cause::Encoder, result); }

// COM for as long as one call needs it; a thread that has it already keeps it.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }

private:
    HRESULT result_;
};

std::expected<Com<IWICImagingFactory>, core::EngineError> newFactory() {
    IWICImagingFactory* factory = nullptr;
    const HRESULT result =
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    if (FAILED(result)) return wicFailure(result);
    return Com<IWICImagingFactory>{factory};
}

// The bytes written so far to a memory stream.
std::expected<std::vector<std::uint8_t>, core::EngineError> streamBytes(IStream& stream) {
    ULARGE_INTEGER end{};
    if (HRESULT r = stream.Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end); FAILED(r)) return wicFailure(r);
    HGLOBAL memory = nullptr;
    if (HRESULT r = GetHGlobalFromStream(&stream, &memory); FAILED(r)) return wicFailure(r);
    const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
    if (bytes == nullptr) return wicFailure(HRESULT_FROM_WIN32(GetLastError()));
    std::vector<std::uint8_t> png(bytes, bytes + end.QuadPart);
    GlobalUnlock(memory);
    return png;
}

// Encodes `pixels` (rows of `stride` bytes) as one PNG frame in `format`,
// with `palette` for an indexed format.
std::expected<std::vector<std::uint8_t>, core::EngineError> encode(int width, int height, WICPixelFormatGUID format,
                                                                   std::span<const std::uint8_t> pixels,
                                                                   std::size_t stride,
                                                                   const std::vector<WICColor>& palette) {
    if (width <= 0 || height <= 0) return encodingFailure(core::Cause::EmptyPicture);
    const ComScope com;
    auto factory = newFactory();
    TAVRO_TRY(factory);

    IStream* rawStream = nullptr;
    if (HRESULT r = CreateStreamOnHGlobal(nullptr, TRUE, &rawStream); FAILED(r)) return wicFailure(r);
    const Com<IStream> stream{rawStream};
    IWICBitmapEncoder* rawEncoder = nullptr;
    if (HRESULT r = (*factory)->CreateEncoder(GUID_ContainerFormatPng, nullptr, &rawEncoder); FAILED(r))
        return wicFailure(r);
    const Com<IWICBitmapEncoder> encoder{rawEncoder};
    if (HRESULT r = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache); FAILED(r)) return wicFailure(r);
    IWICBitmapFrameEncode* rawFrame = nullptr;
    IPropertyBag2* rawOptions = nullptr;
    if (HRESULT r = encoder->CreateNewFrame(&rawFrame, &rawOptions); FAILED(r)) return wicFailure(r);
    const Com<IWICBitmapFrameEncode> frame{rawFrame};
    const Com<IPropertyBag2> options{rawOptions};
    if (HRESULT r = frame->Initialize(options.get()); FAILED(r)) return wicFailure(r);
    if (HRESULT r = frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)); FAILED(r))
        return wicFailure(r);
    WICPixelFormatGUID chosen = format;
    if (HRESULT r = frame->SetPixelFormat(&chosen); FAILED(r)) return wicFailure(r);
    if (!IsEqualGUID(chosen, format)) return wicFailure(WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT);
    if (!palette.empty()) {
        IWICPalette* rawPalette = nullptr;
        if (HRESULT r = (*factory)->CreatePalette(&rawPalette); FAILED(r)) return wicFailure(r);
        const Com<IWICPalette> colours{rawPalette};
        auto entries = palette;
        if (HRESULT r = colours->InitializeCustom(entries.data(), static_cast<UINT>(entries.size())); FAILED(r))
            return wicFailure(r);
        if (HRESULT r = frame->SetPalette(colours.get()); FAILED(r)) return wicFailure(r);
    }
    if (HRESULT r = frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(stride),
                                       static_cast<UINT>(pixels.size()), const_cast<BYTE*>(pixels.data()));
        FAILED(r))
        return wicFailure(r);
    if (HRESULT r = frame->Commit(); FAILED(r)) return wicFailure(r);
    if (HRESULT r = encoder->Commit(); FAILED(r)) return wicFailure(r);
    return streamBytes(*stream);
}

// RGBA bytes in the BGRA order the imaging component reads.
std::vector<std::uint8_t> swapRedBlue(std::span<const std::uint8_t> pixels) {
    std::vector<std::uint8_t> swapped(pixels.begin(), pixels.end());
    for (std::size_t i = 0; i + 3 < swapped.size(); i += 4) std::swap(swapped[i], swapped[i + 2]);
    return swapped;
}

}  // namespace

std::expected<std::vector<std::uint8_t>, core::EngineError> encodePng(const drawing::IndexedImage& image,
                                                                      const drawing::Palette& palette) {
    std::vector<WICColor> colours;
    for (const auto& c : palette)
        colours.push_back(static_cast<WICColor>(c.a) << 24 | static_cast<WICColor>(c.r) << 16 |
                          static_cast<WICColor>(c.g) << 8 | c.b);
    return encode(image.width, image.height, GUID_WICPixelFormat8bppIndexed, image.pixels,
                  static_cast<std::size_t>(image.width), colours);
}

std::expected<std::vector<std::uint8_t>, core::EngineError> encodePng(const drawing::RgbaImage& image) {
    return encode(image.width, image.height, GUID_WICPixelFormat32bppBGRA, swapRedBlue(image.pixels),
                  static_cast<std::size_t>(image.width) * 4, {});
}

}  // namespace tavro::pictures
