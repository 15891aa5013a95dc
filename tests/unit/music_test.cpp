#include "music/music.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Stands in for the system's tune player: logs each call, keeps what the
// tune file held when it was opened, answers "has it ended" from a script
// (no once the script is used up) and ends the run at the question
// numbered last_question.
struct scripted_player_log {
    scripted_player_log(std::atomic<bool>& flag, std::vector<bool> answers, std::size_t last)
        : playing(flag), script(std::move(answers)), last_question(last) {}

    std::atomic<bool>& playing;
    std::vector<bool> script;
    std::size_t last_question;
    std::mutex lock;
    std::vector<std::string> calls;
    std::size_t questions = 0;
    std::optional<std::string> tune_at_open;

    void record(const std::string& call) {
        std::lock_guard<std::mutex> guard(lock);
        calls.push_back(call);
    }

    bool answer() {
        std::lock_guard<std::mutex> guard(lock);
        calls.push_back("has ended");
        ++questions;
        if (questions == last_question) playing = false;
        return questions <= script.size() && script[questions - 1];
    }

    std::vector<std::string> recorded() {
        std::lock_guard<std::mutex> guard(lock);
        return calls;
    }

    music::music_system system(const std::filesystem::path& temp);
};

class scripted_player : public platform::tune_player {
public:
    explicit scripted_player(scripted_player_log& log) : log_(log) {}
    bool open(const std::filesystem::path& tune_file) override {
        log_.record("open " + tune_file.string());
        if (std::filesystem::exists(tune_file)) log_.tune_at_open = read_file(tune_file);
        return true;
    }
    void play_from_start() override { log_.record("play from start"); }
    bool has_ended() override { return log_.answer(); }
    void close() override { log_.record("close"); }

private:
    scripted_player_log& log_;
};

music::music_system scripted_player_log::system(const std::filesystem::path& temp) {
    music::music_system system = music::installer_music_system();
    system.make_player = [this] { return std::make_unique<scripted_player>(*this); };
    system.temp_folder = [temp] { return std::optional<std::filesystem::path>(temp); };
    return system;
}

std::filesystem::path tune_in(const std::filesystem::path& folder) { return folder / music::tune_file_name; }

// Runs the loop on a worker for a while, clears the flag and says how long
// the worker took to end after that.
milliseconds stopping_time(const music::music_system& system, milliseconds run_for) {
    std::atomic<bool> playing{true};
    std::thread worker(music::play_loop, std::ref(playing), std::cref(system));
    std::this_thread::sleep_for(run_for);
    auto cleared = steady_clock::now();
    playing = false;
    worker.join();
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - cleared);
}

}  // namespace

TEST(play_loop, opens_plays_and_starts_again_only_after_an_end) {
    for (bool ended : {true, false}) {
        SCOPED_TRACE(ended ? "the tune ended" : "the tune plays on");
        scoped_temp_folder folder;
        std::atomic<bool> playing{true};
        scripted_player_log log{playing, {ended}, 3};
        music::play_loop(playing, log.system(folder.path()));

        std::vector<std::string> expected = {"open " + tune_in(folder.path()).string(), "play from start", "has ended"};
        if (ended) expected.push_back("play from start");
        expected.insert(expected.end(), {"has ended", "has ended", "close"});
        EXPECT_EQ(expected, log.recorded());
        EXPECT_EQ(read_file(VARNHOLT_PAYLOAD_DIR "/tune.mid"), log.tune_at_open.value_or("(no file)"));
        EXPECT_FALSE(std::filesystem::exists(tune_in(folder.path())));
    }
}

TEST(play_loop, run_ending_before_the_first_question_still_starts_and_closes_the_tune) {
    scoped_temp_folder folder;
    std::atomic<bool> playing{false};
    scripted_player_log log{playing, {}, 0};
    music::play_loop(playing, log.system(folder.path()));
    const std::vector<std::string> expected = {"open " + tune_in(folder.path()).string(), "play from start", "close"};
    EXPECT_EQ(expected, log.recorded());
    EXPECT_FALSE(std::filesystem::exists(tune_in(folder.path())));
}

TEST(play_loop, leftover_tune_file_is_replaced_and_deleted) {
    scoped_temp_folder folder;
    write_file(tune_in(folder.path()), "left by an earlier run");
    std::atomic<bool> playing{true};
    scripted_player_log log{playing, {}, 1};
    music::play_loop(playing, log.system(folder.path()));
    EXPECT_EQ(read_file(VARNHOLT_PAYLOAD_DIR "/tune.mid"), log.tune_at_open.value_or("(no file)"));
    EXPECT_FALSE(std::filesystem::exists(tune_in(folder.path())));
}

TEST(play_loop, without_temporary_folder_or_tune_there_is_no_music) {
    scoped_temp_folder folder;
    std::atomic<bool> playing{true};
    scripted_player_log log{playing, {}, 0};
    music::music_system no_temp = log.system(folder.path());
    no_temp.temp_folder = [] { return std::optional<std::filesystem::path>(); };
    music::music_system no_tune = log.system(folder.path());
    no_tune.write_tune = [](const std::filesystem::path&) { return payload::write_result::payload_unavailable; };

    for (const music::music_system* system : {&no_temp, &no_tune}) {
        auto started = steady_clock::now();
        music::play_loop(playing, *system);
        EXPECT_LT(steady_clock::now() - started, milliseconds(100));
    }
    EXPECT_TRUE(log.recorded().empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(play_loop, ends_within_200_ms_of_the_flag_clearing) {
    scoped_temp_folder folder;
    std::atomic<bool> unused{true};
    scripted_player_log log{unused, {}, 0};
    EXPECT_LE(stopping_time(log.system(folder.path()), milliseconds(450)), milliseconds(200));
    EXPECT_FALSE(std::filesystem::exists(tune_in(folder.path())));
}

TEST(play_loop, unwritable_temporary_folder_means_a_run_without_music) {
    // A regular file where the folder should be: no one, not even root, can
    // write a file inside it.
    scoped_temp_folder folder;
    const std::filesystem::path temp = folder.path() / "not a folder";
    write_file(temp, "");
    scoped_environment_variable tmpdir("TMPDIR", temp.string());
    EXPECT_LE(stopping_time(music::installer_music_system(), milliseconds(350)), milliseconds(200));
    EXPECT_EQ("", read_file(temp));
}

// A link planted at the tune file's name is removed, never followed: the
// file it points to keeps its bytes.
TEST(play_loop, planted_link_is_not_followed) {
    scoped_temp_folder folder;
    write_file("precious", "the user's file");
    std::filesystem::create_symlink(folder.path() / "precious", tune_in(folder.path()));
    std::atomic<bool> playing{true};
    scripted_player_log log{playing, {}, 1};
    music::play_loop(playing, log.system(folder.path()));
    EXPECT_EQ("the user's file", read_file("precious"));
    EXPECT_EQ(read_file(VARNHOLT_PAYLOAD_DIR "/tune.mid"), log.tune_at_open.value_or("(no file)"));
    EXPECT_FALSE(std::filesystem::exists(tune_in(folder.path())));
}

// The tune file is made new; when that cannot be, there is no music at all.
TEST(play_loop, tune_file_that_cannot_be_made_means_no_music) {
    scoped_temp_folder folder;
    std::filesystem::create_directories(tune_in(folder.path()) / "a folder in the way");
    std::atomic<bool> playing{true};
    scripted_player_log log{playing, {}, 1};
    music::play_loop(playing, log.system(folder.path()));
    EXPECT_TRUE(log.recorded().empty());
    EXPECT_TRUE(std::filesystem::is_directory(tune_in(folder.path())));
}

TEST(tune_file_in, keeps_the_folder_name_as_it_is) {
    EXPECT_EQ("/tmp/varnholt_chinese_bgm.tmp", music::tune_file_in("/tmp").string());
    EXPECT_EQ("/tmp//varnholt_chinese_bgm.tmp", music::tune_file_in("/tmp/").string());
    EXPECT_EQ("my temp/varnholt_chinese_bgm.tmp", music::tune_file_in("my temp").string());
}
