// Frame drawing on a recording canvas with the settable clock: the flash's alpha sequence, the stones,
// the overlays, the highscore table rows and the status strip texts in both play modes.
#include "frame_renderer.h"

#include "board.h"
#include "highscore_list.h"
#include "program_state.h"
#include "support/test_files.h"

#include "win32/mmsystem.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Call {
    enum class Kind { Texture, Rect, Text };
    Kind kind = Kind::Texture;
    float x = 0, y = 0, width = 0, height = 0;
    int texture = 0, alpha = 0;
    double angle = 0;
    bool blend = false;
    unsigned long argb = 0;
    RECT rect = {};
    std::string text;
};

class RecordingCanvas : public FrameCanvas {
public:
    void DrawTextur(float x, float y, float width, float height, int textureId, int alpha, double angle,
                    bool alphaBlend) override {
        Call call;
        call.kind = Call::Kind::Texture;
        call.x = x, call.y = y, call.width = width, call.height = height;
        call.texture = textureId, call.alpha = alpha, call.angle = angle, call.blend = alphaBlend;
        calls.push_back(call);
    }
    void DrawRect(unsigned long argb, RECT* rect) override {
        Call call;
        call.kind = Call::Kind::Rect;
        call.argb = argb;
        call.rect = *rect;
        calls.push_back(call);
    }
    void DrawTextA(float x, float y, DWORD colour, const char* text, DWORD flags) override {
        EXPECT_EQ(flags, 0u);
        Call call;
        call.kind = Call::Kind::Text;
        call.x = x, call.y = y, call.argb = colour, call.text = text;
        calls.push_back(call);
    }
    std::vector<Call> calls;
};

bool IsFullScreen(const RECT& r) {
    return r.left == 0 && r.top == 0 && r.right == 800 && r.bottom == 600;
}

// The alphas of the white flash veils in the recorded calls.
std::vector<int> FlashAlphas(const std::vector<Call>& calls) {
    std::vector<int> alphas;
    for (const Call& call : calls) {
        if (call.kind == Call::Kind::Rect && IsFullScreen(call.rect) &&
            (call.argb & 0x00FFFFFFu) == 0x00FFFFFFu) {
            alphas.push_back(static_cast<int>(call.argb >> 24));
        }
    }
    return alphas;
}

std::vector<std::string> TextsAt(const std::vector<Call>& calls, float y, unsigned long colour) {
    std::vector<std::string> texts;
    for (const Call& call : calls) {
        if (call.kind == Call::Kind::Text && call.y == y && call.argb == colour) {
            texts.push_back(call.text);
        }
    }
    return texts;
}

void FillBoard(int colour) {
    for (auto& column : Board) {
        for (int32_t& cell : column) {
            cell = colour;
        }
    }
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
        FillBoard(1);
        PlayMode = 0;
        Difficulty = 0;
        Stage = 1;
        Score = 0;
        TargetReached = false;
        OverlayState = OVERLAY_NONE;
        BackgroundTexture = 40;
        for (int i = 0; i < STONE_KINDS; ++i) {
            StoneTextures[i] = 10 + i;
        }
        GameOverTexture = 20;
        StageClearTexture = 21;
    }
    void TearDown() override {
        zonkel::SetFrameCanvas(nullptr);
        platform::ResumeRealClock();
    }

    std::vector<Call> Frame() {
        canvas.calls.clear();
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
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{SOUND_TARGET_REACHED}));
    EXPECT_TRUE(TargetReached);
}

TEST_F(FrameTest, FramesWithinOneMillisecondLeaveTheFlashStill) {
    PlayMode = 1;
    Frame();
    RemoveFirstCells(30);
    platform::AdvanceClockForTesting(3);
    EXPECT_EQ(FlashAlphas(Frame()), (std::vector<int>{21}));
    EXPECT_EQ(FlashAlphas(Frame()), (std::vector<int>{21}));
    EXPECT_EQ(FlashAlphas(Frame()), (std::vector<int>{21}));
    platform::AdvanceClockForTesting(200);
    EXPECT_EQ(FlashAlphas(Frame()), (std::vector<int>{42}));
}

TEST_F(FrameTest, SolveModeFlashesOnlyForAnEmptyBoard) {
    RemoveFirstCells(175);
    for (int frame = 0; frame < 3; ++frame) {
        platform::AdvanceClockForTesting(1);
        EXPECT_TRUE(FlashAlphas(Frame()).empty());
    }
    FillBoard(EMPTY_CELL);
    platform::AdvanceClockForTesting(1);
    EXPECT_EQ(FlashAlphas(Frame()), (std::vector<int>{21}));
}

TEST_F(FrameTest, BackgroundFirstThenTwoDrawsPerStoneAtItsCell) {
    FillBoard(EMPTY_CELL);
    Board[0][0] = 0;
    Board[15][10] = 4;
    Board[3][7] = 2;
    std::vector<Call> calls = Frame();
    ASSERT_GE(calls.size(), 7u);
    EXPECT_EQ(calls[0].kind, Call::Kind::Texture);
    EXPECT_EQ(calls[0].texture, 40);
    EXPECT_EQ(calls[0].width, 800.0f);
    EXPECT_EQ(calls[0].height, 600.0f);

    struct Stone {
        float x, y;
        int texture;
    };
    const std::vector<Stone> expected = {{15, 15, 10},   {15, 15, 10},   {159, 351, 12},
                                         {159, 351, 12}, {735, 495, 14}, {735, 495, 14}};
    for (size_t i = 0; i < expected.size(); ++i) {
        const Call& call = calls[1 + i];
        ASSERT_EQ(call.kind, Call::Kind::Texture) << i;
        EXPECT_EQ(call.x, expected[i].x) << i;
        EXPECT_EQ(call.y, expected[i].y) << i;
        EXPECT_EQ(call.width, 48.0f) << i;
        EXPECT_EQ(call.texture, expected[i].texture) << i;
        EXPECT_EQ(call.alpha, 255) << i;
        EXPECT_EQ(call.angle, 0.0) << i;
        EXPECT_TRUE(call.blend) << i;
    }
    EXPECT_EQ(calls[7].kind, Call::Kind::Rect) << "the strip follows the stones";
}

TEST_F(FrameTest, FullBoardDrawsThreeHundredFiftyTwoStoneQuads) {
    std::vector<Call> calls = Frame();
    int stones = 0;
    for (const Call& call : calls) {
        stones += call.kind == Call::Kind::Texture && call.texture == 11;
    }
    EXPECT_EQ(stones, 352);
}

TEST_F(FrameTest, GameOverAndStageClearShowTheirPictureOverADarkVeil) {
    for (auto [state, texture] : {std::pair{OVERLAY_GAME_OVER, 20}, std::pair{OVERLAY_STAGE_CLEAR, 21}}) {
        OverlayState = state;
        std::vector<Call> calls = Frame();
        size_t picture = 0;
        while (picture < calls.size() &&
               !(calls[picture].kind == Call::Kind::Texture && calls[picture].texture == texture)) {
            ++picture;
        }
        ASSERT_LT(picture, calls.size()) << state;
        EXPECT_EQ(calls[picture].x, 144.0f);
        EXPECT_EQ(calls[picture].y, 172.0f);
        EXPECT_EQ(calls[picture].width, 512.0f);
        EXPECT_EQ(calls[picture].height, 256.0f);
        ASSERT_EQ(calls[picture - 1].kind, Call::Kind::Rect);
        EXPECT_EQ(calls[picture - 1].argb, 0x96000000u);
        EXPECT_TRUE(IsFullScreen(calls[picture - 1].rect));
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
    std::vector<Call> calls = Frame();

    EXPECT_EQ(TextsAt(calls, 160, 0xFFFFFFFFu), (std::vector<std::string>{"level hard highscore"}));
    EXPECT_EQ(TextsAt(calls, 159, 0xFF000000u), (std::vector<std::string>{"level hard highscore"}));
    for (int i = 0; i < 10; ++i) {
        const float y = 200.0f + 25.0f * i;
        const std::vector<std::string> row = {"somebody", "score " + std::to_string(179 - i),
                                              std::to_string(i + 1) + "."};
        EXPECT_EQ(TextsAt(calls, y, 0xFFFFFFFFu), row) << "row " << i;
        EXPECT_EQ(TextsAt(calls, y - 1, 0xFF000000u), row) << "shadow of row " << i;
    }
    for (const Call& call : calls) {
        if (call.kind == Call::Kind::Text && call.text == "10.") {
            EXPECT_EQ(call.argb == 0xFFFFFFFFu ? call.x : call.x + 1, 240.0f);
        }
    }
    EXPECT_TRUE(TextsAt(calls, 450, 0xFFFFFFFFu).empty()) << "no eleventh row";
}

TEST_F(FrameTest, SolveModeStripShowsOnlyScoreAndBestScore) {
    HighscoreTables[0].Load("as1.roh", 10);
    HighscoreTables[0].InsertScore("a", 300);
    Score = 12;
    std::vector<Call> calls = Frame();
    EXPECT_EQ(TextsAt(calls, 565, 0xFFFFFFFFu), (std::vector<std::string>{"score: 12", "best score: 300"}));
    EXPECT_EQ(BestScore, 300u);

    bool line = false;
    for (const Call& call : calls) {
        line |= call.kind == Call::Kind::Rect && call.argb == 0x96FFFFFFu && call.rect.top == 545 &&
                call.rect.bottom == 546;
    }
    EXPECT_TRUE(line);
}

TEST_F(FrameTest, LevelModeStripShowsStageAndClampsNegativeQuota) {
    PlayMode = 1;
    Stage = 1;
    Score = 40;
    RemoveFirstCells(25);
    std::vector<Call> calls = Frame();
    EXPECT_EQ(TextsAt(calls, 565, 0xFFFFFFFFu),
              (std::vector<std::string>{"score: 40", "stage: 1", "diamonds: 0", "best score: 0"}));
    EXPECT_EQ(Quota, 0);
}

TEST_F(FrameTest, BestScoreKeepsItsLastValueWhenTheTableIsEmpty) {
    HighscoreTables[0].Load("as1.roh", 10);
    HighscoreTables[0].InsertScore("a", 99);
    Frame();
    EXPECT_EQ(BestScore, 99u);
    Difficulty = 1; // Table 1 was never loaded: it has no entries.
    std::vector<Call> calls = Frame();
    EXPECT_EQ(BestScore, 99u);
    EXPECT_EQ(TextsAt(calls, 565, 0xFFFFFFFFu).back(), "best score: 99");
}

} // namespace
