#include "tests/e2e/program_run.hpp"

#include <filesystem>

namespace ksatfit::test {

ProgramRun run_on(const Program& program, const std::string* input) {
  TempDir dir;
  const std::string scratch = dir.file(program.scratch);
  if (input != nullptr) write_file(scratch, *input);
  ProgramRun run;
  run.console = run_program(program.path, dir.path());
  run.file_exists = std::filesystem::exists(scratch);
  if (run.file_exists) run.file = read_file(scratch);
  return run;
}

ProgramRun run_on(const Program& program, const std::string& input) {
  return run_on(program, &input);
}

std::string joined(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

namespace {

std::string right_justified(const std::string& text, std::size_t width) {
  std::string field(width - text.size(), ' ');
  field.append(text);
  return field;
}

}  // namespace

std::string pair_line(const std::string& x, const std::string& y, const std::string& rest) {
  std::string line(" ");
  line.append(right_justified(x, 8)).append(" ").append(right_justified(y, 12)).append(rest);
  return line;
}

std::string fixed(long long units, int decimals, int width) {
  long long scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const unsigned long long magnitude = units < 0 ? -units : units;
  std::string fraction = std::to_string(magnitude % scale);
  fraction.insert(0, decimals - fraction.size(), '0');
  std::string text(units < 0 ? "-" : "");
  text.append(std::to_string(magnitude / scale)).append(".").append(fraction);
  return right_justified(text, static_cast<std::size_t>(width));
}

std::vector<std::string> copied(const std::vector<std::string>& lines) {
  std::vector<std::string> saved;
  for (std::size_t i = 0; i < lines.size() && i < 40; ++i) {
    std::string line = lines[i].substr(0, 80);
    line.resize(80, ' ');
    saved.push_back(line);
  }
  return saved;
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<std::string> header_lines(int count) {
  std::vector<std::string> lines;
  for (int i = 1; i <= count; ++i) {
    lines.push_back("Header line " + std::to_string(i) + ": sample CL-7, oedometer ring " +
                    std::to_string(i % 3 + 1));
  }
  return lines;
}

}  // namespace ksatfit::test
