// Identifiers of the language module's strings, by name. windres and C++ both
// read this file, so it holds nothing but #defines; code, step tables and tests
// use the names, never the numbers.
#ifndef KORVELIN_STRING_IDS_H
#define KORVELIN_STRING_IDS_H

// Message-box decoration: severity labels and the help link.
#define IDS_LABEL_ERROR               501
#define IDS_LABEL_WARNING             502
#define IDS_LABEL_INFORMATION         503
#define IDS_LABEL_NOTICE              504
#define IDS_LABEL_CRITICAL            505
#define IDS_HELP_LINK_BASE            506
#define IDS_HELP_LINK_LINE            507

// Messages, page texts, button texts and task rows.
#define IDS_ANOTHER_INSTANCE          7501
#define IDS_CONFIG_UNREADABLE         7502
#define IDS_CLUSTER_API_FAILED        7503
#define IDS_CLUSTER_READ_RETRY        7504
#define IDS_EXCHANGE_CHECK_FAILED     7505
#define IDS_MATRIX_CAPTION            7507
#define IDS_NOT_UPGRADED_YET          7508
#define IDS_LOG_INFORMATION           7510
#define IDS_NO_EXCHANGE_CONFIG        7511
#define IDS_NO_EXCHANGE               7512
#define IDS_NAME_CHECK_SETUP_FAILED   7513
#define IDS_EVS_ONLINE_TAKE_OFFLINE   7514
#define IDS_NAME_CHECK_FAILED         7515
#define IDS_SAVE_STATE_FAILED         7516
#define IDS_SERVICES_MANUAL_FAILED    7517
#define IDS_RECORD_VERSION_FAILED     7518
#define IDS_NO_EVS_SELECTED           7519
#define IDS_OFFLINE_FAILED            7520
#define IDS_COMPLETION_TITLE          7521
#define IDS_TASK_SAVE_STATE           7522
#define IDS_SELECT_TITLE              7523
#define IDS_TASK_SERVICES_MANUAL      7524
#define IDS_RESTART_QUESTION          7525
#define IDS_TASK_COLUMN               7526
#define IDS_TASK_TITLE_FIRST_PASS     7527
#define IDS_TASK_TITLE_SECOND_PASS    7528
#define IDS_TASKS_DONE                7529
#define IDS_TASKS_FAILED              7530
#define IDS_TASK_ADD_STARTUP          7531
#define IDS_TASK_RENAME               7532
#define IDS_TASK_REMOVE_STARTUP       7533
#define IDS_TASK_SYSNAME_FILE         7534
#define IDS_ADD_STARTUP_FAILED        7535
#define IDS_TASK_SUBTITLE_FIRST_PASS  7536
#define IDS_TASK_SUBTITLE_SECOND_PASS 7537
#define IDS_RENAME_FAILED             7538
#define IDS_RUN_SETUP_TEXT            7539
#define IDS_BUTTON_VERIFY             7540
#define IDS_UPGRADE_DETECTED_TITLE    7541
#define IDS_UPGRADE_DETECTED_SUBTITLE 7542
#define IDS_UPGRADE_DETECTED_TEXT     7543
#define IDS_BUTTON_FINISH             7544
#define IDS_KEEP_OFFLINE_NOTE         7545
#define IDS_RUN_SETUP_TITLE           7547
#define IDS_RUN_SETUP_SUBTITLE        7548
#define IDS_NODE_READY_TITLE          7549
#define IDS_NODE_READY_SUBTITLE       7550
#define IDS_NODE_READY_TEXT           7551
#define IDS_CONFIRM_CHANGES           7552
#define IDS_NAME_CHECK_RUNNING        7553
#define IDS_TASK_RECORD_VERSION       7554
#define IDS_REMOVE_STARTUP_FAILED     7555
#define IDS_OPTIONAL_SERVICES_SKIPPED 7556
#define IDS_SHEET_CAPTION             7557
#define IDS_COMPLETION_SUCCESS_TEXT   7558
#define IDS_WELCOME_TEXT              7559
#define IDS_SELECT_SUBTITLE           7560
#define IDS_COMPLETION_FAILURE_TEXT   7561
#define IDS_LOG_VIEWER_FAILED         7562
#define IDS_BUTTON_NEXT               7563
#define IDS_BUTTON_CANCEL             7564
#define IDS_BUTTON_BACK               7565
#define IDS_CANCEL_QUESTION           7567
#define IDS_SYSNAME_FILE_FAILED       7568
#define IDS_NAME_IN_USE_ELSEWHERE     7571
#define IDS_DISCOVERY_RETRY           7572
#define IDS_ALREADY_UPGRADED          7573
#define IDS_RESTART_FAILED            7574

// Step panel: headings and steps of both passes.
#define IDS_STEP_PREPARE_NODE         7601
#define IDS_STEP_FINISH_UPGRADE       7602
#define IDS_STEP_CHANGE_NODE          7603
#define IDS_STEP_RESTART_NODE         7604
#define IDS_STEP_SELECT_EVS           7605
#define IDS_STEP_RUN_SETUP            7606
#define IDS_STEP_COMPLETE_UPGRADE     7607

// The upgrade-state matrix: its first column and the state words of its cells.
#define IDS_MATRIX_EVS_NAME           7620
#define IDS_STATE_UPGRADED            7621
#define IDS_STATE_PARTIALLY_UPGRADED  7622
#define IDS_STATE_NOT_UPGRADED        7623
#define IDS_STATE_NOT_CONFIGURED      7624
#define IDS_STATE_VERSION_UNKNOWN     7625

// Log lines.
#define IDS_LOG_SYSNAME_EXISTS        10000
#define IDS_LOG_STARTED               10001
#define IDS_LOG_APPLICATION_NAME      10002
#define IDS_LOG_PRODUCT_TEXT          10003
#define IDS_LOG_CALL_FAILED           10004
#define IDS_LOG_NO_CONFIG_KEY         10005
#define IDS_LOG_NO_EVS_KEY            10006
#define IDS_LOG_RESTART_CHOSEN        10007
#define IDS_LOG_RESTART_DECLINED      10008
#define IDS_LOG_WIN32_FAILED          10009
#define IDS_LOG_CANCEL_DECLINED       10010
#define IDS_LOG_CANCELLED             10011
#define IDS_LOG_NO_HOME               10012
#define IDS_LOG_CLUSTER_CALL_FAILED   10013
#define IDS_LOG_SERVICE_MISSING       10014
#define IDS_LOG_SYSNAME_FAILED        10016
#define IDS_LOG_NO_SYSINFO            10017
#define IDS_LOG_NAME_IN_USE           10018
#define IDS_LOG_CONFIG_NOT_READ       10019

#endif
