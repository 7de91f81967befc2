# Timing constraints of the counter demo: the board clock runs at 50 MHz; the reset is asynchronous.
create_clock -name CLK -period 20.000 [get_ports CLK]
derive_clock_uncertainty
set_false_path -from [get_ports RST_N]
