// The one way zarv-capture runs other programs (ffmpeg, the encoder trial,
// the join, its own parts): each child in a process group of its own that
// cannot outlive this process, waited for within bounds, asked to stop and
// then made to, and reported on with a bounded tail of what it said.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The bounds, in seconds, before BoundSeconds scales them.
// An ffmpeg (encoding or joining) whose group moves no byte this long is stuck.
constexpr double FFMPEG_STALL_SECONDS = 60;
// A part reports its frames several times a second; one silent this long is stuck.
constexpr double PART_STALL_SECONDS = 600;
// The encoder trial encodes one frame: a driver that takes longer is not usable.
constexpr double ENCODER_TRIAL_SECONDS = 60;
// From SIGTERM to SIGKILL: ffmpeg ends at once when asked, a part once it has
// stopped its own ffmpeg and removed its files.
constexpr double FFMPEG_GRACE_SECONDS = 2;
constexpr double PART_GRACE_SECONDS = 3;
// From SIGKILL to giving up on a process that will not go (one in a driver's
// uninterruptible wait), naming it.
constexpr double AFTER_KILL_SECONDS = 1;
// Tests shorten every bound above by this factor (a number above 0, at most 1).
constexpr const char* BOUNDS_SCALE_VARIABLE = "ZARV_CAPTURE_BOUNDS_SCALE";
// What is kept of a child's stderr for its message: the last this many bytes.
constexpr size_t ERROR_TAIL_BYTES = 4000;

// seconds scaled by BOUNDS_SCALE_VARIABLE.
double BoundSeconds(double seconds);

// Sets what children need of this process's signals, at the program's start:
// SIGCHLD at its default, whatever the parent left (ignored, the kernel would
// reap the children and their statuses would be lost), and SIGPIPE ignored,
// so that a write to a child that has gone fails instead of ending us.
void TakeChildSignals();

class Child {
 public:
  struct Command {
    std::string name;                            // how messages name it: "ffmpeg", "part 2/4"
    std::vector<std::string> argv;               // argv[0] looked up on PATH unless it has a slash
    std::vector<std::string> environment;        // NAME=VALUE, over this process's own
    bool input = false;                          // a pipe to its stdin (Feed); else /dev/null
    int inputPipeBytes = 0;                      // that pipe's size; 0: the system's
    bool reports = false;                        // a pipe from its fd 3 (ReadReports)
    bool echo = false;                           // its stderr lines also go to ours, after its name
    double stallSeconds = 0;                     // stopped after this long without progress; 0: never
    double deadlineSeconds = 0;                  // stopped this long after its start; 0: never
    double graceSeconds = FFMPEG_GRACE_SECONDS;  // from SIGTERM to SIGKILL
  };

  Child() = default;
  // A child still running is stopped and waited for.
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Starts it; false with the reason in *error. Call from the thread that
  // outlives the child (the main one): the child's end is tied to it.
  bool Start(const Command& command, std::string* error);

  // Writes all of data to its stdin, waiting while the pipe is full; false
  // once it cannot take more (it closed its input or has gone) or after
  // StopFeeding. For one thread at a time, which may be another than the
  // one that checks on the child.
  bool Feed(const unsigned char* data, size_t size);
  // Makes a Feed waiting on a full pipe give up, from any thread.
  void StopFeeding() { feedStopped = true; }
  // Closes its stdin, so that it sees the end of its input; after the last Feed.
  void CloseInput();

  // Its fd 3's pipe, to poll; -1 when closed or none.
  int ReportFd() const { return reportFd; }
  // The whole lines it has written on fd 3 since the last call, without
  // waiting. Each report counts as progress.
  std::vector<std::string> ReadReports();

  // Looks in on it without waiting: takes its status once it has ended,
  // stops it when it is stalled or past its deadline, and makes it stop when
  // its grace is over. True while it runs.
  bool Check();
  // Asks it to stop (SIGTERM to its group, SIGKILL after its grace); Check
  // and Wait carry it out.
  void Stop();
  // Checks until it has ended (or was given up on after SIGKILL); an
  // interruption of this process (platform::Interrupted) stops it first.
  void Wait();

  bool Running() const { return pid > 0 && !over; }
  // It ended by itself with exit status 0.
  bool Succeeded() const;
  // It ended by itself with an exit status; that status, else -1.
  int ExitStatus() const;
  // It was stopped for making no progress or running past its deadline.
  bool Stuck() const { return why == Why::STALLED || why == Why::LATE; }
  // What happened, for a message: "ffmpeg failed with exit status 1", "part
  // 2/4 was ended by signal 9 (Killed)", "ffmpeg is stuck: ...", and what
  // was left after SIGKILL, with its stderr's tail on the lines after unless
  // it was echoed.
  std::string Failure() const;
  // The last ERROR_TAIL_BYTES of its stderr, without trailing blank lines.
  std::string ErrorTail() const;
  pid_t Pid() const { return pid; }

 private:
  enum class Why { NONE, STALLED, LATE, ASKED };
  using Clock = std::chrono::steady_clock;

  // The stderr thread: reads until the child's pipe closes or the child is over.
  void ReadErrors();
  // Takes the child's status once it has exited, ending what it left in its group.
  bool Reap();
  // Whether the group moved bytes (or reported) since the last look.
  bool MadeProgress();
  void Signal(int signal);
  void EndErrorReader();

  Command command;
  pid_t pid = -1;  // the child, and its group's id
  bool over = false;
  bool reaped = false;
  int status = 0;  // its wait status, once reaped
  Why why = Why::NONE;
  Clock::time_point started;
  Clock::time_point lastProgress;
  Clock::time_point lastLook;         // the group's bytes were last read then
  unsigned long long groupBytes = 0;  // what the group had read and written then
  Clock::time_point termSent;         // when SIGTERM went; unset before
  Clock::time_point killSent;
  bool termed = false;
  bool killed = false;
  std::string left;  // what did not end after SIGKILL

  int inputFd = -1;
  int reportFd = -1;
  std::string reportPending;  // a report line not yet whole
  std::atomic<bool> feedStopped{false};
  std::atomic<bool> errorsDone{false};
  std::atomic<unsigned long long> errorBytes{0};
  unsigned long long errorBytesSeen = 0;
  int errorFd = -1;
  mutable std::mutex errorLock;
  std::string errorTail;  // under errorLock
  std::thread errorReader;
};
