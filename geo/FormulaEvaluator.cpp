// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/FormulaEvaluator.h"

#include "platform/Numbers.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

namespace tw::geo {
namespace {

bool isOperator(char c)
{
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '%' || c == '^';
}

int precedence(char c)
{
    switch (c) {
    case '+':
    case '-':
        return 1;
    case '*':
    case '/':
    case '%':
        return 2;
    case '^':
        return 3;
    default:
        return 0; // "("
    }
}

bool isCapital(char c) { return c >= 'A' && c <= 'Z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Signed overflow is undefined in C++; the sums wrap in unsigned arithmetic,
// which the conversion back to int32 (defined since C++20) turns into the
// two's-complement result.
std::int32_t wrap(std::uint32_t v) { return static_cast<std::int32_t>(v); }
std::uint32_t bits(std::int32_t v) { return static_cast<std::uint32_t>(v); }

EvalResult failure(EvalError error, std::string detail = {})
{
    return {0, error, std::move(detail)};
}

// Integer power with the wrap-around of repeated multiplication. For every
// result that fits 32 bits this is the truncated double power; beyond, a
// double would have no defined conversion back to an integer.
EvalResult power(std::int32_t base, std::int32_t exponent)
{
    if (exponent < 0) {
        if (base == 0)
            return failure(EvalError::DivisionByZero);
        if (base == 1)
            return {1, EvalError::None, {}};
        if (base == -1)
            return {(exponent % 2 != 0) ? -1 : 1, EvalError::None, {}};
        return {0, EvalError::None, {}}; // |1 / base^n| < 1 truncates to 0
    }
    std::uint32_t result = 1;
    std::uint32_t factor = bits(base);
    for (auto e = static_cast<std::uint32_t>(exponent); e != 0; e >>= 1) {
        if (e & 1u)
            result *= factor;
        factor *= factor;
    }
    return {wrap(result), EvalError::None, {}};
}

EvalResult apply(char op, std::int32_t left, std::int32_t right)
{
    switch (op) {
    case '+':
        return {wrap(bits(left) + bits(right)), EvalError::None, {}};
    case '-':
        return {wrap(bits(left) - bits(right)), EvalError::None, {}};
    case '*':
        return {wrap(bits(left) * bits(right)), EvalError::None, {}};
    case '/':
        if (right == 0)
            return failure(EvalError::DivisionByZero);
        if (right == -1) // INT_MIN / -1 traps on most processors
            return {wrap(0u - bits(left)), EvalError::None, {}};
        return {left / right, EvalError::None, {}};
    case '%':
        if (right == 0)
            return failure(EvalError::DivisionByZero);
        if (right == -1)
            return {0, EvalError::None, {}};
        return {left % right, EvalError::None, {}};
    default:
        return power(left, right);
    }
}

// The leading decimal digits of a token, as "%d" reads them, wrapping at 32 bits.
bool leadingNumber(std::string_view token, std::int32_t& value)
{
    std::uint32_t v = 0;
    std::size_t i = 0;
    for (; i < token.size() && isDigit(token[i]); ++i)
        v = v * 10u + static_cast<std::uint32_t>(token[i] - '0');
    value = wrap(v);
    return i > 0;
}

} // namespace

EvalResult toPostfix(std::string_view expression, std::string& postfix)
{
    postfix.clear();
    std::vector<char> stack;
    for (const char c : expression) {
        if (isDigit(c) || isCapital(c)) {
            postfix += c;
        } else if (c == '(') {
            stack.push_back(c);
        } else if (isOperator(c)) {
            postfix += ' ';
            while (!stack.empty() && precedence(c) <= precedence(stack.back())) {
                postfix += stack.back();
                postfix += ' ';
                stack.pop_back();
            }
            stack.push_back(c);
        } else if (c == ')') {
            postfix += ' ';
            while (!stack.empty() && stack.back() != '(') {
                postfix += stack.back();
                postfix += ' ';
                stack.pop_back();
            }
            if (stack.empty()) // an unmatched ")" ends the expression
                return {};
            stack.pop_back();
        } else if (c != ' ') {
            return failure(EvalError::InvalidCharacter);
        }
    }
    postfix += ' ';
    while (!stack.empty()) {
        postfix += stack.back();
        postfix += ' ';
        stack.pop_back();
    }
    return {};
}

EvalResult evaluate(std::string_view expression, const VariableTable& variables)
{
    std::string postfix;
    if (EvalResult converted = toPostfix(expression, postfix); !converted.ok())
        return converted;

    std::vector<std::int32_t> stack;
    std::string_view rest = postfix;
    while (!rest.empty()) {
        const std::size_t end = rest.find(' ');
        const std::string_view token = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (token.empty())
            continue;

        if (isOperator(token.front())) {
            if (stack.size() < 2)
                return failure(EvalError::MissingOperand, std::string(token));
            const std::int32_t right = stack.back();
            stack.pop_back();
            const std::int32_t left = stack.back();
            stack.pop_back();
            EvalResult r = apply(token.front(), left, right);
            if (!r.ok())
                return r;
            stack.push_back(r.value);
        } else if (isCapital(token.front())) {
            const auto it = variables.find(token);
            if (it == variables.end())
                return failure(EvalError::UndefinedVariable, std::string(token));
            stack.push_back(it->second);
        } else {
            std::int32_t value = 0;
            if (!leadingNumber(token, value))
                return failure(EvalError::InvalidNumber, std::string(token));
            stack.push_back(value);
        }
    }
    if (stack.empty())
        return failure(EvalError::EmptyExpression);
    return {stack.back(), EvalError::None, {}};
}

SubstituteResult substitute(std::string_view formula, const VariableTable& variables)
{
    SubstituteResult out;
    std::string expression;
    bool inBrackets = false;
    auto append = [&out](const EvalResult& r) {
        char buffer[16];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, r.value);
        out.text.append(buffer, ec == std::errc() ? end : buffer);
    };
    for (std::size_t i = 0; i < formula.size(); ++i) {
        const char c = formula[i];
        if (inBrackets) {
            if (c != ']') {
                expression += c;
                continue;
            }
            inBrackets = false;
            const EvalResult r = evaluate(expression, variables);
            if (!r.ok())
                return {{}, r.error, r.detail};
            append(r);
        } else if (c == '[') {
            expression.clear();
            inBrackets = true;
        } else if (i > 0 && isCapital(c)) { // the first character may be a hemisphere letter
            const EvalResult r = evaluate(std::string_view(&formula[i], 1), variables);
            if (!r.ok())
                return {{}, r.error, r.detail};
            append(r);
        } else {
            out.text += c;
        }
    }
    return out;
}

std::int32_t parseVariables(std::string_view text, VariableTable& variables)
{
    std::string s = text::replaceAll(text, "\r\n", " ");
    s = text::replaceAll(s, ":", "=");
    s = text::replaceAll(s, " =", "=");
    s = text::replaceAll(s, "= ", "=");

    std::uint32_t sum = 0;
    auto assign = [&](const std::string& name, std::int32_t value) {
        variables[name] = value;
        sum += bits(value);
    };
    auto asInt32 = [](std::string_view v) -> std::optional<std::int32_t> {
        const auto n = num::parseInt(v);
        if (!n || *n < INT32_MIN || *n > INT32_MAX)
            return std::nullopt;
        return static_cast<std::int32_t>(*n);
    };

    std::size_t pos = 0;
    while (pos < s.size()) {
        // Pieces are separated by blanks; a lone line feed or tab separates too.
        const std::size_t end = s.find_first_of(" \t\r\n", pos);
        const std::string_view piece = std::string_view(s).substr(pos, end == std::string::npos ? s.npos : end - pos);
        pos = end == std::string::npos ? s.size() : end + 1;

        std::string_view parts[2];
        int count = 0;
        for (std::size_t p = 0; p < piece.size() && count < 2;) {
            const std::size_t eq = piece.find('=', p);
            const std::string_view part = piece.substr(p, eq == std::string_view::npos ? piece.npos : eq - p);
            if (!part.empty())
                parts[count++] = part;
            p = eq == std::string_view::npos ? piece.size() : eq + 1;
        }
        const std::string_view name = parts[0];
        const std::string_view value = parts[1];
        if (name.empty())
            continue;

        if (name.size() >= 2 && name.size() == value.size()) {
            // A run such as ABC=123: the whole name and each letter by its digit.
            if (const auto whole = asInt32(value))
                assign(std::string(name), *whole);
            for (std::size_t i = 0; i < value.size(); ++i)
                if (isDigit(value[i]))
                    variables[std::string(1, name[i])] = value[i] - '0';
        } else if (const auto n = asInt32(value)) {
            assign(std::string(name), *n);
        }
    }
    return wrap(sum);
}

std::string normaliseFormula(std::string_view formula, bool isLongitude, char& hemisphere)
{
    auto trim = [](std::string_view s) {
        const std::size_t first = s.find_first_not_of(" \r\n");
        if (first == std::string_view::npos)
            return std::string_view{};
        return s.substr(first, s.find_last_not_of(" \r\n") - first + 1);
    };
    std::string_view f = trim(formula);
    const char positive = isLongitude ? 'E' : 'N';
    const char negative = isLongitude ? 'W' : 'S';
    if (!f.empty() && f.front() == positive) {
        hemisphere = positive;
        f.remove_prefix(std::min(f.find_first_not_of(positive), f.size()));
    }
    if (!f.empty() && f.front() == negative) {
        hemisphere = negative;
        f.remove_prefix(std::min(f.find_first_not_of(negative), f.size()));
    }
    // "N 49 12.(...)": the blank after the letter must not become the degree sign.
    f = trim(f);

    std::string out;
    out.reserve(f.size());
    int depth = 0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        const std::string_view pair = f.substr(i, 2);
        if (c == '(' || c == '[') {
            out += depth++ == 0 ? '[' : c;
        } else if (c == ')' || c == ']') {
            // A stray closing bracket stays as it is and leaves the depth at 0.
            if (depth > 0 && --depth == 0)
                out += ']';
            else
                out += c;
        } else if (c == ',') {
            out += '.';
        } else if (c == '\'' || c == '`') {
            out += ' ';
        } else if (pair == "\xC2\xB4") { // acute accent
            out += ' ';
            ++i;
        } else if (c == 'x') {
            out += '*';
        } else if (pair == "\xC3\x97") { // multiplication sign
            out += '*';
            ++i;
        } else if (pair == "\xC3\xB7") { // division sign
            out += '/';
            ++i;
        } else {
            out += c;
        }
    }
    out = text::replaceAll(out, "st", "\xC2\xB0");
    out = text::replaceAll(out, "=", "");
    out = text::replaceAll(out, "\xC2\xA0", " ");
    if (out.find("\xC2\xB0") == std::string::npos) {
        if (const std::size_t blank = out.find(' '); blank != std::string::npos)
            out.replace(blank, 1, "\xC2\xB0");
    }
    return text::replaceAll(out, " ", "");
}

std::string errorMessage(EvalError error, std::string_view detail, const LanguageText& texts)
{
    if (error == EvalError::None)
        return "OK";
    const int code = static_cast<int>(error);
    static constexpr const char* kEnglish[] = {"Division by zero.", "Missing operand:", "Invalid character.",
                                               "Undefined variable:", "Invalid number:", "Empty expression."};
    std::string message = texts ? texts(kFirstEvalMessage + code - 1)
                                : (code >= 1 && code <= 6 ? kEnglish[code - 1] : "?");
    if (error == EvalError::MissingOperand || error == EvalError::UndefinedVariable
        || error == EvalError::InvalidNumber) {
        message += ' ';
        message += detail;
    }
    return message;
}

} // namespace tw::geo
