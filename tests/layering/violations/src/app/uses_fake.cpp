// Breaks one rule: a test fake in the product.
#include "app/capture_engine.h"
#include "fake_screen_source.h"
