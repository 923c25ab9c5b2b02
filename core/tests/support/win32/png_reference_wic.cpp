#include "support/png_reference.h"

#include "platform/win32/windows_api.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstdio>

namespace kest::testing {
namespace {

template <class T> struct Com {
    T* p = nullptr;
    ~Com() {
        if (p)
            p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

Unexpected<std::string> failed(const char* step, HRESULT hr) {
    char code[16];
    snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
    return unexpected(std::string("WIC: ") + step + " failed, 0x" + code);
}

} // namespace

Expected<DecodedPng> decode_png_reference(std::string_view file) {
    HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    struct Uninit {
        bool on;
        ~Uninit() {
            if (on)
                CoUninitialize();
        }
    } uninit{SUCCEEDED(init)};

    Com<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()));
    if (FAILED(hr))
        return failed("factory", hr);
    Com<IWICStream> stream;
    if (FAILED(hr = factory->CreateStream(stream.out())))
        return failed("stream", hr);
    auto* bytes = reinterpret_cast<BYTE*>(const_cast<char*>(file.data()));
    if (FAILED(hr = stream->InitializeFromMemory(bytes, static_cast<DWORD>(file.size()))))
        return failed("stream", hr);
    Com<IWICBitmapDecoder> decoder;
    if (FAILED(hr = factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.out())))
        return failed("decoder", hr);
    if (FAILED(hr = decoder->Initialize(stream.p, WICDecodeMetadataCacheOnDemand)))
        return failed("decode", hr);
    Com<IWICBitmapFrameDecode> frame;
    if (FAILED(hr = decoder->GetFrame(0, frame.out())))
        return failed("frame", hr);
    Com<IWICFormatConverter> converter;
    if (FAILED(hr = factory->CreateFormatConverter(converter.out())))
        return failed("converter", hr);
    if (FAILED(hr = converter->Initialize(frame.p, GUID_WICPixelFormat32bppRGBA,
                                          WICBitmapDitherTypeNone, nullptr, 0.0,
                                          WICBitmapPaletteTypeCustom)))
        return failed("conversion", hr);
    UINT width = 0, height = 0;
    if (FAILED(hr = converter->GetSize(&width, &height)))
        return failed("size", hr);
    DecodedPng out;
    out.width = width;
    out.height = height;
    out.rgba.resize(std::size_t(width) * height * 4);
    if (FAILED(hr = converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(out.rgba.size()),
                                          out.rgba.data())))
        return failed("pixels", hr);
    return out;
}

} // namespace kest::testing
