// Reading PNGs back on Windows, through the Windows Imaging Component.
#include "png_decode.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <memory>
#include <utility>

namespace tavro::test {
namespace {

struct Releaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class T> using Com = std::unique_ptr<T, Releaser>;

// Calls `make(&raw)` and owns what it made; empty on failure.
template <class T, class Make> Com<T> made(Make make) {
    T* raw = nullptr;
    return SUCCEEDED(make(&raw)) ? Com<T>{raw} : Com<T>{};
}

}  // namespace

std::optional<drawing::RgbaImage> decodePng(std::span<const std::uint8_t> png) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::optional<drawing::RgbaImage> image;
    {
        auto factory = made<IWICImagingFactory>([](auto out) { return CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(out)); });
        auto stream = factory ? made<IWICStream>([&](auto out) { return factory->CreateStream(out); }) : nullptr;
        auto decoder = stream && SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(png.data()), static_cast<DWORD>(png.size())))
                           ? made<IWICBitmapDecoder>([&](auto out) { return factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, out); })
                           : nullptr;
        auto frame = decoder ? made<IWICBitmapFrameDecode>([&](auto out) { return decoder->GetFrame(0, out); }) : nullptr;
        auto converter = frame ? made<IWICFormatConverter>([&](auto out) { return factory->CreateFormatConverter(out); }) : nullptr;
        UINT width = 0, height = 0;
        if (converter && SUCCEEDED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom)) &&
            SUCCEEDED(converter->GetSize(&width, &height))) {
            std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
            if (SUCCEEDED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data()))) {
                for (std::size_t i = 0; i < pixels.size(); i += 4) std::swap(pixels[i], pixels[i + 2]);  // to RGBA
                image = drawing::RgbaImage{static_cast<int>(width), static_cast<int>(height), std::move(pixels)};
            }
        }
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return image;
}

}  // namespace tavro::test
