#include "win32duplication.h"

#include "platform/win32/leanwindows.h"

#include <d3d11.h>
#include <dxgi1_2.h>

#include <algorithm>

namespace platform::win32 {

struct DesktopDuplication::Output {
    IDXGIOutputDuplication *duplication = nullptr;
    RECT desktop{}; // the output's place on the virtual screen
    DXGI_MODE_ROTATION rotation = DXGI_MODE_ROTATION_IDENTITY;
    std::vector<unsigned char> metadata;

    ~Output() {
        if (duplication)
            duplication->Release();
    }
    Rect whole() const {
        return Rect{int(desktop.left), int(desktop.top), int(desktop.right - desktop.left),
                    int(desktop.bottom - desktop.top)};
    }
    Rect onScreen(const RECT &r) const {
        return Rect{int(desktop.left + r.left), int(desktop.top + r.top), int(r.right - r.left),
                    int(r.bottom - r.top)};
    }
};

DesktopDuplication::DesktopDuplication() = default;

DesktopDuplication::~DesktopDuplication() {
    stop();
}

void DesktopDuplication::stop() {
    outputs_.clear();
    if (device_)
        static_cast<ID3D11Device *>(device_)->Release();
    device_ = nullptr;
    started_ = false;
}

bool DesktopDuplication::start() {
    // A system without it is asked again only now and then.
    const unsigned long long now = GetTickCount64();
    if (now < nextTry_)
        return false;
    nextTry_ = now + 5000;
    ID3D11Device *device = nullptr;
    if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                 D3D11_SDK_VERSION, &device, nullptr, nullptr)))
        return false;
    device_ = device;
    IDXGIDevice *dxgiDevice = nullptr;
    IDXGIAdapter *adapter = nullptr;
    bool ok = SUCCEEDED(device->QueryInterface(__uuidof(IDXGIDevice),
                                               reinterpret_cast<void **>(&dxgiDevice))) &&
              SUCCEEDED(dxgiDevice->GetAdapter(&adapter));
    // The outputs of the adapter the device runs on; a desktop spread over
    // several adapters is not told whole, so it is not told at all.
    for (UINT i = 0; ok; ++i) {
        IDXGIOutput *output = nullptr;
        if (adapter->EnumOutputs(i, &output) == DXGI_ERROR_NOT_FOUND)
            break;
        IDXGIOutput1 *output1 = nullptr;
        auto entry = std::make_unique<Output>();
        DXGI_OUTPUT_DESC desc;
        ok = SUCCEEDED(output->GetDesc(&desc)) &&
             SUCCEEDED(output->QueryInterface(__uuidof(IDXGIOutput1),
                                              reinterpret_cast<void **>(&output1))) &&
             SUCCEEDED(output1->DuplicateOutput(device, &entry->duplication));
        if (ok) {
            entry->desktop = desc.DesktopCoordinates;
            entry->rotation = desc.Rotation;
            outputs_.push_back(std::move(entry));
        }
        if (output1)
            output1->Release();
        output->Release();
    }
    if (adapter)
        adapter->Release();
    if (dxgiDevice)
        dxgiDevice->Release();
    // Every monitor must be told, or none is.
    ok = ok && !outputs_.empty() && int(outputs_.size()) == GetSystemMetrics(SM_CMONITORS);
    if (!ok) {
        stop();
        return false;
    }
    started_ = true;
    return true;
}

bool DesktopDuplication::collect(DamageHistory &history) {
    if (!started_) {
        if (!start())
            return false;
        history.restart();
    }
    for (const auto &o : outputs_) {
        for (;;) {
            DXGI_OUTDUPL_FRAME_INFO info;
            IDXGIResource *resource = nullptr;
            const HRESULT got = o->duplication->AcquireNextFrame(0, &info, &resource);
            if (got == DXGI_ERROR_WAIT_TIMEOUT)
                break; // nothing new on this output
            if (FAILED(got)) {
                // Lost (a mode change, the secure desktop): made again at
                // the next question, and what was missed is not known.
                stop();
                history.restart();
                return false;
            }
            if (resource)
                resource->Release();
            if (info.LastPresentTime.QuadPart != 0) {
                bool told = o->rotation == DXGI_MODE_ROTATION_IDENTITY ||
                            o->rotation == DXGI_MODE_ROTATION_UNSPECIFIED;
                UINT size = info.TotalMetadataBufferSize;
                if (told && size > 0) {
                    o->metadata.resize(std::max<std::size_t>(o->metadata.size(), size));
                    UINT used = 0;
                    auto *moves = reinterpret_cast<DXGI_OUTDUPL_MOVE_RECT *>(o->metadata.data());
                    told = SUCCEEDED(o->duplication->GetFrameMoveRects(size, moves, &used));
                    const UINT moveCount = used / sizeof(DXGI_OUTDUPL_MOVE_RECT);
                    for (UINT i = 0; told && i < moveCount; ++i) {
                        // Both where it came from and where it went.
                        const RECT &to = moves[i].DestinationRect;
                        const LONG w = to.right - to.left, h = to.bottom - to.top;
                        const RECT from{moves[i].SourcePoint.x, moves[i].SourcePoint.y,
                                        moves[i].SourcePoint.x + w, moves[i].SourcePoint.y + h};
                        history.add(o->onScreen(to));
                        history.add(o->onScreen(from));
                    }
                    auto *dirty = reinterpret_cast<RECT *>(o->metadata.data());
                    told = told && SUCCEEDED(o->duplication->GetFrameDirtyRects(
                                       UINT(o->metadata.size()), dirty, &used));
                    const UINT dirtyCount = used / sizeof(RECT);
                    for (UINT i = 0; told && i < dirtyCount; ++i)
                        history.add(o->onScreen(dirty[i]));
                }
                // A frame without its rectangles counts as changed all over.
                if (!told || size == 0)
                    history.add(o->whole());
            }
            o->duplication->ReleaseFrame();
        }
    }
    return true;
}

} // namespace platform::win32
