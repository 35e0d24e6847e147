#include "tests/native/screenshot.h"

#include <wincodec.h>

#include <vector>

namespace orvel::native {
namespace {

template <class T>
class Com {
 public:
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() {
    if (p_) p_->Release();
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** receive() { return &p_; }
  void** receiveVoid() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

// Pixels of a screen rectangle, 24-bit BGR, top row first, rows padded to
// four bytes as a DIB has them.
struct Pixels {
  int width = 0;
  int height = 0;
  UINT stride = 0;
  std::vector<BYTE> data;
};

bool grab(const RECT& area, Pixels& out) {
  out.width = area.right - area.left;
  out.height = area.bottom - area.top;
  if (out.width <= 0 || out.height <= 0) return false;
  out.stride = static_cast<UINT>((out.width * 3 + 3) & ~3);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = out.width;
  info.bmiHeader.biHeight = -out.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap && bits) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, out.width, out.height, screen, area.left, area.top, SRCCOPY) != FALSE;
    GdiFlush();
    const auto* first = static_cast<const BYTE*>(bits);
    out.data.assign(first, first + static_cast<size_t>(out.stride) * out.height);
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

bool writePng(const Pixels& pixels, const std::wstring& path) {
  Com<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              factory.receiveVoid())))
    return false;
  Com<IWICStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  return SUCCEEDED(factory->CreateStream(stream.receive())) &&
         SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
         SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.receive())) &&
         SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
         SUCCEEDED(encoder->CreateNewFrame(frame.receive(), nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
         SUCCEEDED(frame->SetSize(static_cast<UINT>(pixels.width), static_cast<UINT>(pixels.height))) &&
         SUCCEEDED(frame->SetPixelFormat(&format)) && IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) &&
         SUCCEEDED(frame->WritePixels(static_cast<UINT>(pixels.height), pixels.stride,
                                      static_cast<UINT>(pixels.data.size()), const_cast<BYTE*>(pixels.data.data()))) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

bool saveScreenshot(HWND window, const std::wstring& path) {
  // Time for what the program drew last to reach the screen. Nothing is
  // invalidated: a busy program (the wait window's) would not draw it again.
  Sleep(300);
  RECT area{};
  Pixels pixels;
  return GetWindowRect(window, &area) && grab(area, pixels) && writePng(pixels, path);
}

}  // namespace orvel::native
