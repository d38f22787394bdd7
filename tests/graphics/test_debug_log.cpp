// The graphics debug log, the halt switch and the device the component chooses.
#include <cstdio>

#include "support/halt.h"
#include "graphics_fixture.h"

namespace {

std::string NumberedLine(int number, int indent, const char* utf8Text) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "#%.5d | ", number);
  return prefix + std::string(2 * static_cast<std::size_t>(indent), ' ') + Sjis(utf8Text) + "\r\n";
}

TEST_F(GraphicsTest, DetailedStartUpLogMatchesByteForByte) {
  Start(dgoHaltOnError | dgoDebugMessage | dgoDetailedLog);
  const struct {
    int indent;
    const char* text;
  } lines[] = {
      {0, ""},
      {0, "■■■起動時の初期化をします■■■"},
      {1, "Direct3Dを生成します"},
      {1, "ウィンドウのクライアント領域のサイズに合わせて初期化を開始します"},
      {1, ""},
      {1, "■■■Windowモードへ移行します■■■"},
      {2, ""},
      {2, "■■■Direct3Dデバイスを解放します■■■"},
      {3, "全てのDGCaradリソースを解放します"},
      {2, "■■■Direct3Dデバイスを解放しました■■■"},
      {2, ""},
      {2, ""},
      {2, "■■■画面モードを初期化します■■■"},
      {3, "Driver : sdl-software"},
      {3, "Description : SDL 2D renderer (software)"},
      {3, "VendorID : 00000000, DeviceID : 00000000, SubSysID : 00000000, Revision : 00000000"},
      {3, "ウィンドウモード 632x477で初期化します"},
      {3, "ハードウェアアクセラレーションを利用します"},
      {3, "希望のデプスステンシルサーフェスのフォーマットが見つかりませんでした"},
      {3, "デプスステンシルサーフェスのフォーマット...UNKNOWN"},
      {3, "ハードウェアT&Lを利用します"},
      {3, "Direct3DDeviceオブジェクトの生成を行います"},
      {3, "全てのDGCaradリソースを再構築します"},
      {2, "■■■画面モードを初期化しました■■■"},
      {2, ""},
      {1, "■■■Windowモードへ移行しました■■■"},
      {1, ""},
      {0, "■■■DGCarad 起動しました■■■"},
      {0, ""},
  };
  std::string expected;
  int number = 0;
  for (const auto& line : lines) expected += NumberedLine(++number, line.indent, line.text);
  EXPECT_EQ(LogBytes(), expected);
  EXPECT_EQ(number, 29);
}

TEST_F(GraphicsTest, OptionsThatWriteNothing) {
  for (const TDGDebugOptions options : {TDGDebugOptions{0}, TDGDebugOptions{dgoDetailedLog},
                                        TDGDebugOptions{dgoDetailedLog | dgoHaltOnError}}) {
    carad.reset();
    Start(options);
    if ((options & dgoHaltOnError) == 0) {
      EXPECT_EQ(DGCheckResult(D3DERR_NOTAVAILABLE, "x"), D3DERR_NOTAVAILABLE);  // and the test goes on
    }
    DGWriteLog("x");
  }
  carad.reset();
  EXPECT_FALSE(std::filesystem::exists(folder.Native("DGCarad_DebugLog.txt")));
}

TEST_F(GraphicsTest, FirstLineOfARunReplacesTheOldLogAndLaterLinesAppend) {
  folder.Write("DGCarad_DebugLog.txt", "an old run\r\n");
  Start(dgoDebugMessage);
  DGCheckResult(E_FAIL, Sjis("一行目"));
  DGCheckResult(1, "second");
  EXPECT_EQ(LogBytes(), NumberedLine(1, 0, "一行目(Error Code = UNKNOWN ERROR ... $80004005)") +
                            NumberedLine(2, 0, "second(Error Code = UNKNOWN ERROR ... $00000001)"));
}

using GraphicsDeathTest = GraphicsTest;

// The game's options: only failure lines, and the first one ends the program after its line.
TEST_F(GraphicsDeathTest, HaltOnErrorExitsNonZeroAfterWritingItsLine) {
  headless::SetDeviceCreationFails(true);
  EXPECT_HALT(Start(dgoHaltOnError | dgoDebugMessage), "D3DERR_NOTAVAILABLE");
  // Sections indent failure lines too: start-up, window mode, display mode.
  EXPECT_EQ(LogBytes(), NumberedLine(1, 3, "Direct3DDeviceオブジェクトの生成に失敗しました(Error Code = D3DERR_NOTAVAILABLE)"));
}

TEST_F(GraphicsTest, WithoutHaltAFailedCreationLeavesNoDevice) {
  headless::SetDeviceCreationFails(true);
  Start(dgoDebugMessage);
  EXPECT_EQ(carad->Device(), nullptr);
  EXPECT_EQ(carad->BackBuffers(0), nullptr);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{
                            "Direct3DDeviceオブジェクトの生成に失敗しました(Error Code = D3DERR_NOTAVAILABLE)"});
}

TEST_F(GraphicsTest, NoDirect3DMakesEveryDeviceOperationANoOp) {
  headless::SetDirect3DAvailable(false);
  Start(dgoDebugMessage);
  FullScreen();
  EXPECT_EQ(carad->Direct3D(), nullptr);
  EXPECT_EQ(carad->Device(), nullptr);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{
                            "Direct3Dオプジェクトすら生成できません、論外(Error Code = UNKNOWN ERROR ... $00000001)"});
}

TEST_F(GraphicsTest, ErrorAndFormatNames) {
  EXPECT_EQ(DGErrorName(D3D_OK), "D3D_OK");
  EXPECT_EQ(DGErrorName(D3DERR_INVALIDCALL), "D3DERR_INVALIDCALL ");
  EXPECT_EQ(DGErrorName(D3DERR_OUTOFVIDEOMEMORY), "D3DERR_OUTOFVIDEOMEMORY");
  EXPECT_EQ(DGErrorName(static_cast<HRESULT>(0x8007000Eu)), "UNKNOWN ERROR ... $8007000E");
  EXPECT_EQ(DGFormatName(D3DFMT_A8R8G8B8), "A8R8G8B8");
  EXPECT_EQ(DGFormatName(D3DFMT_DXT5), "DXT5");
  EXPECT_EQ(DGFormatName(static_cast<D3DFORMAT>(42)), "UNKNOWN");
  EXPECT_EQ(DGColorARGB(255, 0, 0, 255), 0xFF0000FFu);
  EXPECT_EQ(DGColorARGB(0x1FF, 0x102, 0x203, 0x304), 0xFF020304u);
}

TEST_F(GraphicsTest, DeviceChoiceFollowsCapabilitiesAndProperties) {
  struct Case {
    bool useRef, softwareVertices, halAvailable, hardwareTnL;
    D3DDEVTYPE type;
    const char* line;
  } cases[] = {
      {false, false, true, true, D3DDEVTYPE_HAL, "ハードウェアT&Lを利用します"},
      {false, true, true, true, D3DDEVTYPE_HAL, "ソフトウェアT&Lを利用します"},
      {false, false, true, false, D3DDEVTYPE_HAL, "ソフトウェアT&Lを利用します"},
      {true, false, true, true, D3DDEVTYPE_REF, "ソフトウェアエミュレーションを利用します"},
      {false, false, false, true, D3DDEVTYPE_REF, "ソフトウェアエミュレーションを利用します"},
  };
  for (const Case& c : cases) {
    carad.reset();
    DGCarad9::LogLineCount = 0;
    headless::SetHardwareDeviceAvailable(c.halAvailable);
    headless::SetHardwareTransformAndLight(c.hardwareTnL);
    carad = std::make_unique<TDGCarad>(*form);
    carad->UseREFDevice = c.useRef;
    carad->UseSoftwareVertexProcessing = c.softwareVertices;
    carad->SetDebugOption(kQuietOptions);
    carad->Loaded();
    EXPECT_NE(carad->Device(), nullptr);
    EXPECT_EQ(carad->DeviceType(), c.type);
    EXPECT_TRUE(LogHas(c.line)) << c.line;
  }
}

TEST_F(GraphicsTest, WindowModeSizesTheClientAreaAndUsesTheDesktopFormat) {
  Start();
  carad->ToWindowMode(320, 200, {}, D3DPRESENT_INTERVAL_DEFAULT, D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_NONE, 0);
  EXPECT_EQ(form->ClientWidth, 320);
  EXPECT_EQ(form->ClientHeight, 200);
  EXPECT_EQ(headless::Window().width, 320);
  EXPECT_TRUE(carad->IsWindowed());
  EXPECT_EQ(carad->BackBufferFormat(), D3DFMT_X8R8G8B8);
  EXPECT_EQ(carad->BackBufferCount(), 1);
  EXPECT_EQ(carad->DepthStencil(), nullptr);

  FullScreen();
  EXPECT_FALSE(carad->IsWindowed());
  EXPECT_EQ(carad->BackBufferWidth(), 640);
  EXPECT_EQ(carad->BackBufferFormat(), D3DFMT_A8R8G8B8);
  EXPECT_EQ(form->ClientWidth, 640);
  EXPECT_TRUE(LogHas("フルスクリーンモード 640x480 0Hz A8R8G8B8 で初期化します"));
}

TEST_F(GraphicsTest, DepthFormatsGiveAnAutomaticDepthBuffer) {
  Start();
  const D3DFORMAT wanted[] = {D3DFMT_A8, D3DFMT_D24S8, D3DFMT_D16};
  carad->ToWindowMode(320, 200, wanted, D3DPRESENT_INTERVAL_DEFAULT, D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_NONE, 0);
  EXPECT_EQ(carad->PresentParams().AutoDepthStencilFormat, D3DFMT_D24S8);
  ASSERT_NE(carad->DepthStencil(), nullptr);
  EXPECT_TRUE(LogHas("デプスステンシルサーフェスのフォーマット...D24S8"));
}

// A release that leaves a reference behind is a failure whose code is the count left.
TEST_F(GraphicsTest, ReleaseLeavingReferencesIsLogged) {
  Start(dgoDebugMessage);
  IDirect3DSurface9* kept = carad->BackBuffers(0);
  kept->AddRef();
  carad->ReleaseDevice();
  EXPECT_EQ(LogTexts(), std::vector<std::string>{
                            "バックバッファ #0　の解放に失敗しました(Error Code = UNKNOWN ERROR ... $00000001)"});
  EXPECT_EQ(kept->Release(), 0u);  // still valid after its device is gone
}

}  // namespace
