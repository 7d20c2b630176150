// Contrasts written NAME=EXPRESSION, read by recursive descent:
//
//   expression := term { ("+" | "-") term }
//   term       := factor { ("*" | "/") factor }
//   factor     := ("-" | "+") factor | number | name | "(" expression ")"
//
// Every part of the expression is either a number or a combination of the coefficients (a weight
// for each); numbers scale combinations and combinations add, element by element in the order
// written, as R evaluates the expression on the coefficients' indicator vectors in makeContrasts.
#include <cctype>
#include <charconv>
#include <cmath>
#include <utility>

#include "analysis/model_input.hpp"

namespace {

// A part of the expression: a number, or weights of the coefficients.
struct Value {
  bool combination = false;
  double number = 0.0;
  std::vector<double> weights;
};

bool starts_name(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '.' || c == '_';
}

bool continues_name(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_';
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

class ContrastReader {
 public:
  ContrastReader(const std::string& text, std::size_t start,
                 const std::vector<std::string>& coefficients)
      : text_(text), at_(start), coefficients_(coefficients) {}

  // The expression from the start to the end of the text.
  bool read(Value& value) {
    skip_blanks();
    if (at_ == text_.size()) return fail(at_, "the expression is empty");
    if (!expression(value)) return false;
    if (at_ < text_.size()) {
      return fail(at_, text_[at_] == ')' ? "a \")\" without its \"(\""
                                         : "\"" + std::string(1, text_[at_]) + "\" unexpected");
    }
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  bool fail(std::size_t at, const std::string& what) {
    error_ = "contrast \"" + text_ + "\", character " + std::to_string(at + 1) + ": " + what;
    return false;
  }

  void skip_blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t'))
      ++at_;
  }

  bool expression(Value& value) {
    if (!term(value)) return false;
    while (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) {
      const char op = text_[at_];
      const std::size_t op_at = at_++;
      skip_blanks();
      Value right;
      if (!term(right)) return false;
      if (value.combination != right.combination)
        return fail(op_at, "a number added to coefficients is not a contrast");
      if (!value.combination) {
        value.number = op == '+' ? value.number + right.number : value.number - right.number;
        continue;
      }
      for (std::size_t j = 0; j < value.weights.size(); ++j)
        value.weights[j] =
            op == '+' ? value.weights[j] + right.weights[j] : value.weights[j] - right.weights[j];
    }
    return true;
  }

  bool term(Value& value) {
    if (!factor(value)) return false;
    while (at_ < text_.size() && (text_[at_] == '*' || text_[at_] == '/')) {
      const char op = text_[at_++];
      skip_blanks();
      const std::size_t right_at = at_;
      Value right;
      if (!factor(right)) return false;
      if (op == '*') {
        if (value.combination && right.combination)
          return fail(right_at, "a product of two coefficients is not a linear combination");
        multiply(value, right);
      } else {
        if (right.combination) return fail(right_at, "a division by a coefficient");
        if (right.number == 0.0) return fail(right_at, "a division by zero");
        divide(value, right.number);
      }
    }
    return true;
  }

  // The product, with the number on whichever side it was written.
  static void multiply(Value& value, const Value& right) {
    if (!value.combination && !right.combination) {
      value.number *= right.number;
    } else if (value.combination) {
      for (double& w : value.weights)
        w *= right.number;
    } else {
      const double number = value.number;
      value = right;
      for (double& w : value.weights)
        w = number * w;
    }
  }

  static void divide(Value& value, double divisor) {
    if (!value.combination) {
      value.number /= divisor;
      return;
    }
    for (double& w : value.weights)
      w /= divisor;
  }

  bool factor(Value& value) {
    if (at_ == text_.size()) return fail(at_, "the expression ends where a term is expected");
    const char c = text_[at_];
    if (c == '-' || c == '+') {
      ++at_;
      skip_blanks();
      if (!factor(value)) return false;
      if (c == '-') negate(value);
      return true;
    }
    if (c == '(') {
      const std::size_t open = at_++;
      skip_blanks();
      if (!expression(value)) return false;
      if (at_ == text_.size() || text_[at_] != ')') return fail(open, "a \"(\" without its \")\"");
      ++at_;
      skip_blanks();
      return true;
    }
    if (is_digit(c) || (c == '.' && at_ + 1 < text_.size() && is_digit(text_[at_ + 1])))
      return number(value);
    if (starts_name(c)) return name(value);
    return fail(at_, "\"" + std::string(1, c) + "\" where a number, a name or \"(\" is expected");
  }

  static void negate(Value& value) {
    value.number = -value.number;
    for (double& w : value.weights)
      w = -w;
  }

  // Digits with a decimal point and an exponent, each optional.
  bool number(Value& value) {
    const std::size_t start = at_;
    while (at_ < text_.size() && is_digit(text_[at_]))
      ++at_;
    if (at_ < text_.size() && text_[at_] == '.') ++at_;
    while (at_ < text_.size() && is_digit(text_[at_]))
      ++at_;
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      std::size_t after = at_ + 1;
      if (after < text_.size() && (text_[after] == '+' || text_[after] == '-')) ++after;
      if (after < text_.size() && is_digit(text_[after])) {
        at_ = after;
        while (at_ < text_.size() && is_digit(text_[at_]))
          ++at_;
      }
    }
    const char* first = text_.data() + start;
    const auto [end, problem] = std::from_chars(first, text_.data() + at_, value.number);
    if (problem != std::errc() || end != text_.data() + at_ || !std::isfinite(value.number))
      return fail(start, "\"" + text_.substr(start, at_ - start) + "\" is not a number");
    if (at_ < text_.size() && starts_name(text_[at_]))
      return fail(at_, "a name right after a number: write \"*\" between them");
    value.combination = false;
    skip_blanks();
    return true;
  }

  bool name(Value& value) {
    const std::size_t start = at_;
    while (at_ < text_.size() && continues_name(text_[at_]))
      ++at_;
    const std::string name = text_.substr(start, at_ - start);
    std::size_t index = 0;
    while (index < coefficients_.size() && coefficients_[index] != name)
      ++index;
    if (index == coefficients_.size()) {
      std::string known;
      for (std::size_t j = 0; j < coefficients_.size(); ++j)
        known += (j == 0 ? "" : ", ") + coefficients_[j];
      return fail(start,
                  "no coefficient is named " + name + " (the coefficients are " + known + ")");
    }
    value.combination = true;
    value.weights.assign(coefficients_.size(), 0.0);
    value.weights[index] = 1.0;
    skip_blanks();
    return true;
  }

  const std::string& text_;
  std::size_t at_;
  const std::vector<std::string>& coefficients_;
  std::string error_;
};

}  // namespace

bool parse_contrast(const std::string& text, const std::vector<std::string>& coefficients,
                    Contrast& contrast, std::string& error) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) {
    error = "contrast \"" + text + "\": no \"=\"; write NAME=EXPRESSION";
    return false;
  }
  std::size_t first = 0, last = equals;
  while (first < last && (text[first] == ' ' || text[first] == '\t'))
    ++first;
  while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t'))
    --last;
  if (first == last) {
    error = "contrast \"" + text + "\", character " + std::to_string(equals + 1) +
            ": no name before the \"=\"";
    return false;
  }
  for (std::size_t i = first; i < last; ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x20) {
      error = "contrast \"" + text + "\", character " + std::to_string(i + 1) +
              ": a control character in the name";
      return false;
    }
  }
  ContrastReader reader(text, equals + 1, coefficients);
  Value value;
  if (!reader.read(value)) {
    error = reader.error();
    return false;
  }
  if (!value.combination) {
    error = "contrast \"" + text +
            "\": the expression is a number, not a combination of "
            "coefficients";
    return false;
  }
  bool all_zero = true;
  for (double w : value.weights)
    all_zero = all_zero && w == 0.0;
  if (all_zero) {
    error = "contrast \"" + text + "\": its weights are all zero, so it compares nothing";
    return false;
  }
  contrast.name = text.substr(first, last - first);
  contrast.weights = std::move(value.weights);
  return true;
}
