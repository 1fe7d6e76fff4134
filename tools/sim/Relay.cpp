// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/Relay.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <utility>

namespace sim {

namespace {

struct Ticket {
    std::string token;   // set once someone has signed in with it
    std::string detour;  // where the form page goes next, once
};

struct RelayState {
    RelayOptions options;
    std::mutex mutex;
    std::map<std::string, Ticket> tickets;
    std::mt19937_64 random{std::random_device{}()};
};

std::string md5Hex(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    std::string out;
    char pair[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", digest[i]);
        out += pair;
    }
    return out;
}

std::string htmlEscape(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string page(const std::string& title, const std::string& body, const std::string& head = {})
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + htmlEscape(title) + "</title>" + head
           + "</head><body>" + body + "</body></html>";
}

// The ticket when it was issued here and the signature belongs to it.
bool signedTicket(RelayState& state, const std::string& ticket, const std::string& signature)
{
    return state.tickets.count(ticket) != 0 && signature == md5Hex(ticket + state.options.secret);
}

std::string signInForm(const std::string& ticket, const std::string& signature, const std::string& error)
{
    std::string body = "<h1>Sign in</h1>";
    if (!error.empty())
        body += "<p id=\"error\">" + htmlEscape(error) + "</p>";
    body += "<form method=\"post\" action=\"login.php\">"
            "<input type=\"hidden\" name=\"a\" value=\"" + htmlEscape(ticket) + "\">"
            "<input type=\"hidden\" name=\"b\" value=\"" + htmlEscape(signature) + "\">"
            "<p><label>User name <input name=\"user\" autocomplete=\"off\"></label></p>"
            "<p><label>Password <input name=\"password\" type=\"password\"></label></p>"
            "<p><button type=\"submit\">Sign in</button></p></form>"
            // The ticket is one of ours: hexadecimal digits only.
            "<script>setInterval(function () {"
            " fetch('status.php?a=" + ticket + "').then(function (r) { return r.text(); })"
            " .then(function (u) { if (u) location.href = u; });"
            "}, 500);</script>";
    return page("Sign in", body);
}

} // namespace

std::string scramble(const std::string& text)
{
    std::string out = text;
    bool inBrackets = false;
    for (char& c : out) {
        if (inBrackets) {
            inBrackets = c != ']';
        } else if (c == '[') {
            inBrackets = true;
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            const char base = c <= 'Z' ? 'A' : 'a';
            c = static_cast<char>(base + (c - base + 13) % 26);
        }
    }
    return out;
}

bool readRelayOption(int argc, char** argv, int& i, RelayOptions& options)
{
    const std::string arg = argv[i];
    if (i + 1 >= argc)
        return false;
    if (arg == "--relay-secret") {
        options.secret = argv[++i];
        return true;
    }
    if (arg == "--relay-user") {
        const std::string value = argv[i + 1];
        const auto first = value.find(':');
        const auto second = first == std::string::npos ? first : value.find(':', first + 1);
        if (second == std::string::npos)
            return false;
        options.accounts.push_back(
            {value.substr(0, first), value.substr(first + 1, second - first - 1), value.substr(second + 1)});
        ++i;
        return true;
    }
    return false;
}

void addRelay(httplib::Server& server, RelayOptions options)
{
    auto state = std::make_shared<RelayState>();
    state->options = std::move(options);

    server.Get("/oa/init.php", [state](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(state->mutex);
        char ticket[33];
        std::snprintf(ticket, sizeof ticket, "%016llx%016llx", static_cast<unsigned long long>(state->random()),
                      static_cast<unsigned long long>(state->random()));
        state->tickets[ticket] = {};
        res.set_content(ticket, "text/plain");
    });

    server.Get("/oa/login.php", [state](const httplib::Request& req, httplib::Response& res) {
        const std::string a = req.get_param_value("a");
        const std::string b = req.get_param_value("b");
        std::lock_guard lock(state->mutex);
        if (!signedTicket(*state, a, b)) {
            res.status = 403;
            res.set_content(page("Sign-in refused", "<p>This sign-in link is not valid. Start the login again.</p>"),
                            "text/html; charset=utf-8");
            return;
        }
        res.set_content(signInForm(a, b, {}), "text/html; charset=utf-8");
    });

    server.Post("/oa/login.php", [state](const httplib::Request& req, httplib::Response& res) {
        const std::string a = req.get_param_value("a");
        const std::string b = req.get_param_value("b");
        const std::string user = req.get_param_value("user");
        const std::string password = req.get_param_value("password");
        std::lock_guard lock(state->mutex);
        if (!signedTicket(*state, a, b)) {
            res.status = 403;
            res.set_content(page("Sign-in refused", "<p>This sign-in link is not valid. Start the login again.</p>"),
                            "text/html; charset=utf-8");
            return;
        }
        for (const RelayAccount& account : state->options.accounts) {
            if (account.user == user && account.password == password) {
                state->tickets[a].token = account.token;
                res.set_redirect("done.php?tk=" + scramble(account.token), 302);
                return;
            }
        }
        res.set_content(signInForm(a, b, "The user name or the password is wrong."), "text/html; charset=utf-8");
    });

    server.Get("/oa/status.php", [state](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(state->mutex);
        const auto it = state->tickets.find(req.get_param_value("a"));
        std::string next;
        if (it != state->tickets.end()) {
            if (!it->second.detour.empty())
                next = std::exchange(it->second.detour, std::string());
            else if (!it->second.token.empty())
                next = "done.php?tk=" + scramble(it->second.token);
        }
        res.set_header("Cache-Control", "no-store");
        res.set_content(next, "text/plain");
    });

    server.Get("/oa/done.php", [](const httplib::Request& req, httplib::Response& res) {
        std::string head;
        const std::string back = req.get_param_value("back");
        if (back.rfind("http://", 0) == 0 || back.rfind("https://", 0) == 0)
            head = "<meta http-equiv=\"refresh\" content=\"0; url=" + htmlEscape(back) + "\">";
        res.set_content(page("Signed in", "<p>You are signed in. This window closes by itself.</p>", head),
                        "text/html; charset=utf-8");
    });

    server.Post("/_sim/relay-detour", [state](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(state->mutex);
        const auto it = state->tickets.find(req.get_param_value("a"));
        if (it == state->tickets.end()) {
            res.status = 404;
            return;
        }
        it->second.detour = req.get_param_value("url");
        res.set_content("ok", "text/plain");
    });
}

} // namespace sim
