// What quillmark-cli says when its command line is wrong.
#pragma once

#include <QString>
#include <string>

namespace CLI {
class App;
class Error;
} // namespace CLI

namespace quillmark {

class OptionError {
public:
    /// The error line for `error` in the chosen language, then the help of
    /// `app`. The English line is word for word CLI11's own, which scripts may
    /// already look for; the Russian one names the option or value likewise.
    static std::string message(const CLI::App* app, const CLI::Error& error);

private:
    static QString line(const CLI::Error& error);
};

} // namespace quillmark
