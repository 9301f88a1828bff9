// Mail: fills the launch configuration and hands the process to the toolkit.
#include "app/launch_config.h"

int main() { zarn_ui::launch::run_or_exit(mail::launch_config()); }
