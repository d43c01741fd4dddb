// The least any run can cost: open the input, read it to the end in
// 128-byte reads, write a 3-byte answer. The program is measured against
// this.
#include <fcntl.h>
#include <unistd.h>

int main() {
  int in = open("korvanda.in", O_RDONLY);
  char block[128];
  while (read(in, block, sizeof block) > 0) {
  }
  close(in);
  int out = open("korvanda.out", O_WRONLY | O_CREAT | O_TRUNC, 0666);
  ssize_t written = write(out, "0\r\n", 3);
  close(out);
  return written == 3 ? 0 : 1;
}
