#include <unistd.h>

#include "ArticlesCli.h"

int main(int argc, char** argv) {
  ArticlesCli::Streams streams;
  streams.interactive = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
  ArticlesCli cli(streams);
  return cli.Run(std::vector<std::string>(argv + 1, argv + argc));
}
