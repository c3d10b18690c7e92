// The test modules' own string: which module answered.
#ifndef KORVELIN_L10N_TEST_IDS_H
#define KORVELIN_L10N_TEST_IDS_H
#define IDS_TEST_LANGUAGE_TAG 1
#endif
