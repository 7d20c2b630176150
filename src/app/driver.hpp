#pragma once

// Runs one merge from the banner to the closing key wait; returns the exit status of a normal end.
int run_corvane();
