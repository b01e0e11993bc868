// Frame drawing on a recording canvas with the settable clock: the flash's alpha sequence, the highscore
// table rows and the status strip texts in both play modes.
#include "frame_renderer.h"

#include "board.h"
#include "highscore_list.h"
#include "program_state.h"
#include "support/test_files.h"

#include "win32/mmsystem.h"

#include <algorithm>
#include <tuple>
#include <gtest/gtest.h>

namespace {

struct PictureCall {
    float x, y, w, h;
    int texture;
    bool operator==(const PictureCall&) const = default;
};

// Rectangles and texts of a frame; pictures apart, as their place and texture id.
struct Call {
    bool isText;
    float x, y;
    unsigned long argb;
    RECT rect;
    std::string text;
};

class RecordingCanvas : public FrameCanvas {
public:
    void DrawTextur(float x, float y, float w, float h, int texture, int alpha, double angle,
                    bool blend) override {
        EXPECT_EQ(std::tuple(alpha, angle, blend), std::tuple(255, 0.0, true));
        pictures.push_back({x, y, w, h, texture});
    }
    void DrawRect(unsigned long argb, RECT* rect) override {
        calls.push_back({false, 0, 0, argb, *rect, {}});
    }
    void DrawTextA(float x, float y, DWORD colour, const char* text, DWORD flags) override {
        EXPECT_EQ(flags, 0u);
        calls.push_back({true, x, y, colour, {}, text});
    }
    std::vector<Call> calls;
    std::vector<PictureCall> pictures;
};

// The alphas of the white flash veils in the recorded calls.
std::vector<int> FlashAlphas(const std::vector<Call>& calls) {
    std::vector<int> alphas;
    for (const Call& call : calls) {
        const RECT& r = call.rect;
        if (!call.isText && r.left == 0 && r.top == 0 && r.right == 800 && r.bottom == 600 &&
            (call.argb & 0xFFFFFFu) == 0xFFFFFFu) {
            alphas.push_back(static_cast<int>(call.argb >> 24));
        }
    }
    return alphas;
}

std::vector<std::string> TextsAt(const std::vector<Call>& calls, float y,
                                 unsigned long colour = 0xFFFFFFFFu) {
    std::vector<std::string> texts;
    for (const Call& call : calls) {
        if (call.isText && call.y == y && call.argb == colour) {
            texts.push_back(call.text);
        }
    }
    return texts;
}

void RemoveFirstCells(int count) {
    for (int i = 0; i < count; ++i) {
        Board[i / BOARD_ROWS][i % BOARD_ROWS] = EMPTY_CELL;
    }
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        zonkel::ResetFrameStateForTesting();
        zonkel::SetFrameCanvas(&canvas);
        platform::SetClockForTesting(5000);
        platform::ClearSoundTrace();
        std::fill(&Board[0][0], &Board[0][0] + BOARD_CELLS, 1);
        PlayMode = 0;
        Difficulty = 0;
        Stage = 1;
        Score = 0;
        TargetReached = false;
        OverlayState = OVERLAY_NONE;
    }
    void TearDown() override {
        zonkel::SetFrameCanvas(nullptr);
        platform::ResumeRealClock();
    }

    std::vector<Call> Frame() {
        canvas.calls.clear();
        canvas.pictures.clear();
        RenderFrame();
        return canvas.calls;
    }

    RecordingCanvas canvas;
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder{folder.Path()};
};

TEST_F(FrameTest, FlashRunsItsTwentyThreeFramesOnceWhenTheTargetIsReached) {
    PlayMode = 1;
    Frame(); // The full board is far from the target: no flash.
    EXPECT_TRUE(platform::SoundTrace().empty());

    RemoveFirstCells(25);
    std::vector<int> alphas;
    for (int frame = 0; frame < 30; ++frame) {
        platform::AdvanceClockForTesting(1 + frame % 100);
        std::vector<int> veils = FlashAlphas(Frame());
        alphas.insert(alphas.end(), veils.begin(), veils.end());
        if (frame == 22) {
            EXPECT_EQ(FlashState, 0);
            EXPECT_EQ(FlashAlpha, 0.0f);
        }
    }
    const std::vector<int> expected = {21,  42,  64,  85,  107, 128, 150, 171, 193, 214, 236, 255,
                                       233, 212, 190, 169, 147, 126, 104, 83,  61,  40,  18,  0};
    EXPECT_EQ(alphas, expected);
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{"8SX00057.wav"}));
    EXPECT_TRUE(TargetReached);
}

TEST_F(FrameTest, FlashStandsStillWithinOneMillisecondAndSolveModeFlashesOnlyForAnEmptyBoard) {
    RemoveFirstCells(175);
    for (int frame = 0; frame < 3; ++frame) {
        platform::AdvanceClockForTesting(1);
        EXPECT_TRUE(FlashAlphas(Frame()).empty()) << "one stone is left";
    }
    RemoveFirstCells(BOARD_CELLS);
    platform::AdvanceClockForTesting(3);
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_EQ(FlashAlphas(Frame()), (std::vector<int>{21})) << "no time has passed";
    }
    platform::AdvanceClockForTesting(200);
    EXPECT_EQ(FlashAlphas(Frame()), (std::vector<int>{42}));
}

TEST_F(FrameTest,
       EveryStoneIsDrawnTwiceWithItsColoursPictureOverTheBackgroundAndUnderTheVeiledOverlayPicture) {
    BackgroundTexture = 10;
    for (int i = 0; i < 5; ++i) {
        StoneTextures[i] = 11 + i;
    }
    GameOverTexture = 20;
    StageClearTexture = 21;
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y < BOARD_ROWS; ++y) {
            Board[x][y] = x == 15 || (x + y) % 7 == 3 ? EMPTY_CELL : (3 * x + y) % 5;
        }
    }
    for (int overlay : {OVERLAY_NONE, OVERLAY_GAME_OVER, OVERLAY_STAGE_CLEAR}) {
        OverlayState = overlay;
        Frame();
        std::vector<PictureCall> expected = {{0, 0, 800, 600, 10}};
        for (int x = 0; x < BOARD_COLUMNS; ++x) {
            for (int y = 0; y < BOARD_ROWS; ++y) {
                if (Board[x][y] >= 0) {
                    const PictureCall stone = {float(15 + 48 * x), float(15 + 48 * y), 48, 48,
                                               11 + Board[x][y]};
                    expected.insert(expected.end(), {stone, stone});
                }
            }
        }
        // Rectangles: the black veil under an overlay picture, then the strip and its white top line.
        std::vector<std::tuple<unsigned long, LONG, LONG, LONG, LONG>> rects;
        for (const Call& call : canvas.calls) {
            if (!call.isText) {
                rects.emplace_back(call.argb, call.rect.left, call.rect.top, call.rect.right,
                                   call.rect.bottom);
            }
        }
        decltype(rects) expectedRects = {{0x96000000u, 0, 545, 800, 600}, {0x96FFFFFFu, 0, 545, 800, 546}};
        if (overlay != OVERLAY_NONE) {
            expected.push_back({144, 172, 512, 256, overlay == OVERLAY_GAME_OVER ? 20 : 21});
            expectedRects.insert(expectedRects.begin(), {0x96000000u, 0, 0, 800, 600});
        }
        EXPECT_EQ(rects, expectedRects) << "overlay " << overlay;
        ASSERT_EQ(canvas.pictures.size(), expected.size()) << "overlay " << overlay;
        for (size_t i = 0; i < expected.size(); ++i) {
            const PictureCall& got = canvas.pictures[i];
            EXPECT_EQ(got, expected[i]) << "picture " << i << " at " << got.x << "," << got.y << " texture "
                                        << got.texture << ", overlay " << overlay;
        }
    }
}

TEST_F(FrameTest, HighscoreTableShowsTitleAndNumberedRowsWithShadows) {
    PlayMode = 1;
    Difficulty = 2;
    HighscoreList& table = HighscoreTables[5];
    ASSERT_EQ(table.Load("al3.roh", 10), HighscoreList::LOAD_CREATED);
    for (uint32_t s = 170; s <= 179; ++s) {
        table.InsertScore("somebody", s);
    }
    table.SetTitle("level hard highscore");
    OverlayState = OVERLAY_HIGHSCORES;
    const std::vector<Call> calls = Frame();

    EXPECT_EQ(TextsAt(calls, 160), (std::vector<std::string>{"level hard highscore"}));
    EXPECT_EQ(TextsAt(calls, 159, 0xFF000000u), (std::vector<std::string>{"level hard highscore"}));
    for (int i = 0; i < 10; ++i) {
        const float y = 200.0f + 25.0f * i;
        const std::vector<std::string> row = {"somebody", "score " + std::to_string(179 - i),
                                              std::to_string(i + 1) + "."};
        EXPECT_EQ(TextsAt(calls, y), row) << "row " << i;
        EXPECT_EQ(TextsAt(calls, y - 1, 0xFF000000u), row) << "shadow of row " << i;
    }
    for (const Call& call : calls) {
        if (call.isText && call.text == "10.") {
            EXPECT_EQ(call.argb == 0xFFFFFFFFu ? call.x : call.x + 1, 240.0f);
        }
    }
    EXPECT_TRUE(TextsAt(calls, 450).empty()) << "no eleventh row";
}

TEST_F(FrameTest, StripTextsByModeAndBestScoreKeepsItsLastValueForAnEmptyTable) {
    Score = 12;
    EXPECT_EQ(TextsAt(Frame(), 565), (std::vector<std::string>{"score: 12", "best score: 0"}))
        << "no table entry yet";
    HighscoreTables[0].Load("as1.roh", 10);
    HighscoreTables[0].InsertScore("a", 300);
    std::vector<Call> calls = Frame();
    EXPECT_EQ(TextsAt(calls, 565), (std::vector<std::string>{"score: 12", "best score: 300"}));
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const Call& c) {
        return !c.isText && c.argb == 0x96FFFFFFu && c.rect.top == 545 && c.rect.bottom == 546;
    })) << "the strip's top line";

    PlayMode = 2;   // a stored play mode other than 0 and 1 is level mode
    Difficulty = 1; // Table 4 was never loaded: it has no entries.
    Score = 40;
    RemoveFirstCells(25);
    calls = Frame();
    EXPECT_EQ(TextsAt(calls, 565),
              (std::vector<std::string>{"score: 40", "stage: 1", "diamonds: 0", "best score: 300"}));
    EXPECT_EQ(Quota, 0) << "a negative quota shows as zero";
}

} // namespace
