/* The yardstick for starting a program: does nothing, linked statically so
 * that no loader work is counted either. */
int main(void) { return 0; }
