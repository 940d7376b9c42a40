// The windowed path under a private X server: SDL display modes, the device made before any
// window, a swap chain that takes its window's size and a Present that shows the picture the
// right way up.

#include "support/GpuTestSupport.h"
#include "QP_OutputWindow.h"
#include "support/XvfbServer.h"

TEST(QP_WindowedSwapChainTest, PresentsTheBackBufferUprightIntoItsWindow)
{
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();

    QC_Ptr<QP_Factory> factory;
    ASSERT_EQ(QP_CreateFactory(QP_FactoryOptions(), &factory), QP_OK);
    ASSERT_FALSE(factory->IsHeadless());
    QC_Ptr<QP_Adapter> adapter;
    ASSERT_EQ(factory->EnumAdapters(0, &adapter), QP_OK);
    QC_Ptr<QP_Output> output;
    ASSERT_EQ(adapter->EnumOutputs(0, &output), QP_OK);
    std::uint32_t count = 0;
    ASSERT_EQ(output->GetDisplayModeList(QP_FORMAT_R8G8B8A8_UNORM, 0, &count, nullptr), QP_OK);
    ASSERT_GE(count, 1u);
    std::vector<QP_ModeDesc> modes(count);
    ASSERT_EQ(output->GetDisplayModeList(QP_FORMAT_R8G8B8A8_UNORM, 0, &count, modes.data()), QP_OK);
    bool screenMode = false;
    for (const QP_ModeDesc& mode : modes) {
        // Xvfb reports no refresh rate: it is listed as 60 Hz.
        EXPECT_EQ(mode.refreshRate.numerator, 60u);
        EXPECT_EQ(mode.refreshRate.denominator, 1u);
        screenMode = screenMode || (mode.width == 1024 && mode.height == 768);
    }
    EXPECT_TRUE(screenMode);

    // The device exists before any window of the program.
    QC_Ptr<QP_Device> device;
    QC_Ptr<QP_DeviceContext> context;
    ASSERT_EQ(QP_CreateDevice(adapter.Get(), QP_DRIVER_TYPE_HARDWARE, 0, &device, &context), QP_OK);
    PinGraphicsDriver();
    EXPECT_FALSE(device->IsHeadless());

    QP_NativeWindow* window = QP_CreateOutputWindow("gpu test", 64, 48, true);
    ASSERT_NE(window, nullptr);
    {
        QP_SwapChainDesc desc;
        desc.bufferDesc.format = QP_FORMAT_R8G8B8A8_UNORM; // size 0: the window's
        desc.outputWindow = window;
        QC_Ptr<QP_SwapChain> swapChain;
        ASSERT_EQ(factory->CreateSwapChain(device.Get(), &desc, &swapChain), QP_OK);
        QC_Ptr<QP_Texture2D> backBuffer;
        ASSERT_EQ(swapChain->GetBuffer(0, &backBuffer), QP_OK);
        EXPECT_EQ(backBuffer->GetDesc().width, 64u);
        EXPECT_EQ(backBuffer->GetDesc().height, 48u);

        // Red over the top half, blue below, drawn through the scissor test (top-left numbers).
        QC_Ptr<QP_RenderTargetView> view;
        ASSERT_EQ(device->CreateRenderTargetView(backBuffer.Get(), nullptr, &view), QP_OK);
        const float blue[4] = {0, 0, 1, 1};
        const float red[4] = {1, 0, 0, 1};
        context->ClearRenderTargetView(view.Get(), blue);
        QP_RenderTargetView* views[] = {view.Get()};
        context->OMSetRenderTargets(1, views, nullptr);
        QP_Viewport viewport;
        viewport.width = 64;
        viewport.height = 48;
        context->RSSetViewports(1, &viewport);
        const char* vertexShader = "float4 QR_Main(uint id : SV_VertexID) : SV_POSITION"
                                   "{ return float4(id == 1 ? 3.0 : -1.0, id == 2 ? -3.0 : 1.0, 0.5, 1.0); }";
        const char* pixelShader = "cbuffer C : register(b0) { float4 colour; };"
                                  "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return colour; }";
        QC_Ptr<QP_Blob> vsCode, psCode, errors;
        ASSERT_EQ(QP_Compile(vertexShader, std::strlen(vertexShader), nullptr, "QR_Main", "vs_4_0", &vsCode, &errors), QP_OK)
            << QP_BlobText(errors.Get());
        ASSERT_EQ(QP_Compile(pixelShader, std::strlen(pixelShader), nullptr, "QR_Main", "ps_4_0", &psCode, &errors), QP_OK)
            << QP_BlobText(errors.Get());
        QC_Ptr<QP_VertexShader> vs;
        QC_Ptr<QP_PixelShader> ps;
        ASSERT_EQ(device->CreateVertexShader(vsCode->GetBufferPointer(), vsCode->GetBufferSize(), &vs), QP_OK);
        ASSERT_EQ(device->CreatePixelShader(psCode->GetBufferPointer(), psCode->GetBufferSize(), &ps), QP_OK);
        QP_BufferDesc constantDesc;
        constantDesc.byteWidth = 16;
        constantDesc.bindFlags = QP_BIND_CONSTANT_BUFFER;
        QP_SubresourceData constantData;
        constantData.sysMem = red;
        QC_Ptr<QP_Buffer> constants;
        ASSERT_EQ(device->CreateBuffer(&constantDesc, &constantData, &constants), QP_OK);
        QP_RasterizerDesc rasterDesc;
        rasterDesc.cullMode = QP_CULL_NONE;
        rasterDesc.scissorEnable = true;
        QC_Ptr<QP_RasterizerState> raster;
        ASSERT_EQ(device->CreateRasterizerState(&rasterDesc, &raster), QP_OK);
        const QP_Rect topHalf = {0, 0, 64, 24};
        context->RSSetState(raster.Get());
        context->RSSetScissorRects(1, &topHalf);
        context->VSSetShader(vs.Get());
        context->PSSetShader(ps.Get());
        QP_Buffer* buffers[] = {constants.Get()};
        context->PSSetConstantBuffers(0, 1, buffers);
        context->IASetPrimitiveTopology(QP_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        context->Draw(3, 0);

        ASSERT_EQ(swapChain->Present(0, 0), QP_OK);
        ASSERT_EQ(swapChain->Present(1, 0), QP_OK) << "with the swap interval of vertical sync";
        std::vector<std::uint8_t> shown(64 * 48 * 4);
        std::uint32_t width = 0, height = 0;
        ASSERT_EQ(swapChain->ReadPresented(shown.data(), 64 * 4, &width, &height), QP_OK);
        ASSERT_EQ(width, 64u);
        ASSERT_EQ(height, 48u);
        auto at = [&](std::uint32_t x, std::uint32_t y) {
            const std::uint8_t* p = &shown[(y * 64 + x) * 4];
            return GpuColour{p[0], p[1], p[2], 255};
        };
        EXPECT_TRUE(Near(at(32, 2), {255, 0, 0, 255}, 0)) << "the top of the window shows the top of the picture";
        EXPECT_TRUE(Near(at(32, 45), {0, 0, 255, 255}, 0));

        // Resizing to the window's size again (0, 0) after the views are gone.
        context->ClearState();
        view = nullptr;
        backBuffer = nullptr;
        EXPECT_EQ(swapChain->ResizeBuffers(0, 0, 0, QP_FORMAT_UNKNOWN, 0), QP_OK);
        ASSERT_EQ(swapChain->GetBuffer(0, &backBuffer), QP_OK);
        EXPECT_EQ(backBuffer->GetDesc().width, 64u);
    }
    QP_DestroyOutputWindow(window);
}
