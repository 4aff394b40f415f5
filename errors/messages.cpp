// Messages: composing the pending text from a template and the stored values,
// and printing it as a headed, wrapped block with an optional traceback.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "errors/characters.hpp"
#include "errors/error_layer.hpp"
#include "errors/error_state.hpp"
#include "ksatfit/errors.hpp"
#include "runtime/console.hpp"
#include "runtime/edit_descriptors.hpp"

namespace ksatfit {
namespace {

constexpr int kNote = 1;
constexpr int kAlert = 2;
constexpr int kTerminal = 5;
constexpr int kHeadingRoom = 59;     // prefix and first-line text together
constexpr int kContinuationRoom = 64;
constexpr std::string_view kSentenceStart = ".  ";
constexpr std::string_view kLineBreak = "%/";
constexpr std::string_view kContinuation = " ***          ";

std::string_view type_name(int T) {
  static constexpr std::array<std::string_view, 7> kNames = {
      "NOTE    ", "ALERT   ", "WARNING ", "FATAL   ", "TERMINAL", "WARNING ", "FATAL   "};
  return (T >= 1 && T <= 7) ? kNames[static_cast<std::size_t>(T - 1)] : "UNKNOWN ";
}

// Characters FROM to TO (1-based, inclusive) of `text`; empty when TO < FROM.
std::string_view chars(std::string_view text, int from, int to) {
  if (to < from) return {};
  return text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1));
}

char char_at(std::string_view text, int pos) { return text[static_cast<std::size_t>(pos - 1)]; }

// Last blank among positions FROM to TO (FROM <= TO); 0 when there is none.
int last_blank(std::string_view text, int from, int to) {
  for (int pos = to; pos >= from; --pos) {
    if (char_at(text, pos) == ' ') return pos;
  }
  return 0;
}

// A routine name as printed: a lower-case first letter before an upper-case
// second one is raised to upper case.
std::string printed_name(std::string_view name) {
  std::string printed(name);
  if (printed.size() >= 2 && printed[0] >= 'a' && printed[0] <= 'z' && printed[1] >= 'A' &&
      printed[1] <= 'Z') {
    E3PRT(printed[0], ICASE(printed[0]));
  }
  return printed;
}

// The value that the mark starting at position I of `text` stands for, when it
// is a well-formed mark with a stored value.
std::optional<std::string_view> mark_value(const ErrorState& s, std::string_view text, int I) {
  static constexpr std::string_view kKinds = "ACDIKLRSZ";
  const char kind = char_at(text, I + 2);
  const char key = char_at(text, I + 3);
  const bool is_mark = char_at(text, I) == '%' && char_at(text, I + 1) == '(' &&
                       char_at(text, I + 4) == ')' && key >= '1' && key <= '9' &&
                       kKinds.find(static_cast<char>(ICASE(kind))) != std::string_view::npos;
  if (!is_mark) return std::nullopt;
  return find_stored_value(s, kind, key);
}

// The pending text: ".  " and the template with its marks replaced by the
// stored values, cut at 1024 characters.
void compose(ErrorState& s, std::string_view TEXT) {
  const std::string_view text = TEXT.substr(0, kMessageSize);
  const int N = static_cast<int>(text.size());
  std::string out(kSentenceStart);
  const auto room = [&out] { return static_cast<std::size_t>(kMessageSize) - out.size(); };
  int I = 1;
  while (I <= N - 4 && room() > 0) {
    if (const auto value = mark_value(s, text, I)) {
      out.append(value->substr(0, room()));
      I += 5;
    } else {
      out.push_back(char_at(text, I));
      ++I;
    }
  }
  out.append(text.substr(static_cast<std::size_t>(I - 1), room()));
  set_pending_text(s, out);
}

// A note or an alert is never printed, so it must not take the place of a
// message that is still waiting to be printed.
bool keeps_pending_text(const ErrorState& s, int T, std::string_view TEXT) {
  const bool no_text = TEXT.empty() || TEXT == " ";
  return no_text || ((T == kNote || T == kAlert) && s.MSGLEN > 0);
}

// Splits the message into the first line's text (room R1) and the
// continuation lines' texts.
std::vector<std::string_view> message_lines(std::string_view msg, int R1) {
  const int L = static_cast<int>(msg.size());
  const int P = I1X(msg, kLineBreak);
  std::vector<std::string_view> lines;
  int B = 0;  // position at which the previous line stopped
  if (P != 0 && P < R1) {
    lines.push_back(chars(msg, 1, P - 1));
    B = P + 1;
  } else if (L <= R1) {
    lines.push_back(msg);
    return lines;
  } else {
    const int blank = last_blank(msg, 2, R1);
    B = blank != 0 ? blank : R1;
    lines.push_back(chars(msg, 1, blank != 0 ? blank - 1 : R1));
  }
  bool skip_leading_blank = P == 0;
  while (B < L) {
    const int S = (skip_leading_blank && char_at(msg, B + 1) == ' ') ? B + 2 : B + 1;
    const int window = std::min(kContinuationRoom, L - B);
    const int found = I1X(chars(msg, B + 1, B + window), kLineBreak);
    if (found != 0) {
      const int M = B + found;
      lines.push_back(chars(msg, S, M - 1));
      B = M + 1;
      skip_leading_blank = false;
    } else if (L <= B + kContinuationRoom) {
      lines.push_back(chars(msg, S, L));
      B = L;
    } else {
      const int blank = last_blank(msg, S + 1, B + kContinuationRoom);
      const int end = blank != 0 ? blank : B + kContinuationRoom;
      lines.push_back(chars(msg, S, end));
      B = end;
      skip_leading_blank = true;
    }
  }
  return lines;
}

void write_message(const ErrorState& s, int unit, int T) {
  const std::string_view msg(s.MSGTXT.data(), static_cast<std::size_t>(s.MSGLEN));
  const std::string_view name = routine_name(s, s.LEVEL);
  std::string prefix(" ");
  prefix += std::to_string(s.ERCODE(s.LEVEL));
  prefix += " from ";
  prefix += printed_name(name.substr(0, name.find(' ')));
  if (!msg.starts_with(kSentenceStart)) prefix += kSentenceStart;
  const int R1 = kHeadingRoom - static_cast<int>(prefix.size());
  const std::vector<std::string_view> lines = message_lines(msg, R1);
  rt::write_line(unit, "");
  rt::write_line(unit, " *** " + std::string(type_name(T)) + " ERROR" + prefix +
                           std::string(lines.front()));
  for (std::size_t k = 1; k < lines.size(); ++k) {
    rt::write_line(unit, std::string(kContinuation) + std::string(lines[k]));
  }
}

// The stack from the top down to the user's level, with each level's type and
// code, marking the routines that another library routine called.
void write_traceback(const ErrorState& s, int unit) {
  rt::write_line(unit, "     Here is a traceback of subprogram calls in reverse order:");
  rt::write_line(unit, "     Routine name                    Error type  Error code");
  rt::write_line(unit, "     ------------                    ----------  ----------");
  for (int level = s.LEVEL; level >= 1; --level) {
    std::string line = "     " + printed_name(routine_name(s, level)) +
                       rt::edit_I(s.ERTYPE(level), 6) + "      " + rt::edit_I(s.ERCODE(level), 6);
    if (level >= 2 && !s.USRLVL(level - 1)) line += "    (Called internally)";
    rt::write_line(unit, line);
  }
}

// Where printed messages go instead of the unit, while a caller records them.
std::vector<PrintedMessage>*& message_recorder() {
  static std::vector<PrintedMessage>* recorder = nullptr;
  return recorder;
}

PrintedMessage recorded_message(const ErrorState& s, int T) {
  std::string_view msg(s.MSGTXT.data(), static_cast<std::size_t>(s.MSGLEN));
  if (msg.starts_with(kSentenceStart)) msg.remove_prefix(kSentenceStart.size());
  const std::string_view name = routine_name(s, s.LEVEL);
  return {T, s.ERCODE(s.LEVEL), printed_name(name.substr(0, name.find(' '))), std::string(msg)};
}

}  // namespace

std::vector<PrintedMessage>* record_printed_messages(std::vector<PrintedMessage>* recorder) {
  std::vector<PrintedMessage>* const previous = message_recorder();
  message_recorder() = recorder;
  return previous;
}

void E1MES(int ITYPE, int ICODE, std::string_view TEXT) {
  ErrorState& s = error_state();
  if (ITYPE < -1 || ITYPE > 7) {
    set_pending_text(s, ".  Error from E1MES.  Illegal error type specified.");
    E1PRT();
    rt::stop_program();
  }
  if (ITYPE != -1) s.ERTYPE(s.LEVEL) = ITYPE;
  const int T = s.ERTYPE(s.LEVEL);
  if (ICODE >= 0) s.ERCODE(s.LEVEL) = ICODE;
  if (ITYPE == 0 || ICODE == 0) {
    s.MSGLEN = 0;
  } else {
    if (!keeps_pending_text(s, T, TEXT)) compose(s, TEXT);
    if (T == 6) s.PEND6 = 1;
    if (T == 7) s.PEND7 = 1;
    if (T >= kTerminal && s.PRINTS(T) == 1) E1PRT();
  }
  s.PLEN = 1;
}

void E1PRT() {
  ErrorState& s = error_state();
  if (s.MSGLEN <= 0) return;
  int unit = 0;
  UMACH(3, unit);
  E1LOCK(1);
  const int T = s.ERTYPE(s.LEVEL);
  std::vector<PrintedMessage>* const recorder = message_recorder();
  if (recorder != nullptr) {
    recorder->push_back(recorded_message(s, T));
  } else {
    write_message(s, unit, T);
  }
  s.MSGLEN = 0;
  s.PLEN = 1;
  // A traceback only for an error inside a routine that another library
  // routine called.
  if (recorder == nullptr && T >= 1 && T <= kErrorTypes && s.TRACES(T) == 1 && s.LEVEL > 2) {
    write_traceback(s, unit);
  }
  E1LOCK(0);
}

}  // namespace ksatfit
