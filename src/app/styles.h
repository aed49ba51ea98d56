#pragma once

// Style sheets of the main window. Each widget carries its own sheet, and
// every sheet also sets the tooltip font so Help Mode texts stay readable.

namespace styles {

inline constexpr char16_t groupBox[] = u"\n"
                                       u"        QGroupBox {\n"
                                       u"            font-size: 24px;\n"
                                       u"            border: 2px solid black;\n"
                                       u"            border-radius: 5px;\n"
                                       u"            margin-top: 10px;\n"
                                       u"        }\n"
                                       u"        QGroupBox::title {\n"
                                       u"            subcontrol-origin: margin;\n"
                                       u"            left: 10px;\n"
                                       u"            padding: 0 3px;\n"
                                       u"        }\n"
                                       u"        QToolTip { font-size: 14pt; }\n"
                                       u"    ";
inline constexpr char16_t button[] = u"QPushButton{font-size:24px;} QToolTip { font-size: 14pt; }";
inline constexpr char16_t combo[] = u"QComboBox{font-size: 24px;} QToolTip { font-size: 14pt; }";
inline constexpr char16_t label[] = u"QLabel{font-size:24px;} QToolTip { font-size: 14pt; }";
inline constexpr char16_t textEdit[] = u"QTextEdit{font-size: 24px;} QToolTip { font-size: 14pt; }";
inline constexpr char16_t bigLabel[] = u"QLabel{font-size:30px;} QToolTip { font-size: 14pt; }";
inline constexpr char16_t doubleSpin[] =
    u"QDoubleSpinBox{font-size: 24px;} QToolTip { font-size: 14pt; }";
inline constexpr char16_t bigButton[] =
    u"QPushButton{font-size:48px;} QToolTip { font-size: 14pt; }";
inline constexpr char16_t deleteButton[] = u"\n"
                                           u"        QPushButton {\n"
                                           u"           font-size: 24px;\n"
                                           u"           background-color: #FF0000;\n"
                                           u"           color: white;\n"
                                           u"           border-radius: 5px;\n"
                                           u"        }\n"
                                           u"        QPushButton:hover {\n"
                                           u"           background-color: #CC0000;\n"
                                           u"        }\n"
                                           u"        QPushButton:pressed {\n"
                                           u"           background-color: #990000;\n"
                                           u"        }\n"
                                           u"        QToolTip { font-size: 14pt; }\n"
                                           u"    ";
inline constexpr char16_t tooltipOnly[] = u"QToolTip { font-size: 14pt; }";
inline constexpr char16_t smallButton[] =
    u"QPushButton{font-size:16px;} QToolTip { font-size: 14pt; }";
inline constexpr char16_t tinyButton[] =
    u"QPushButton{font-size:12px;} QToolTip { font-size: 14pt; }";
inline constexpr char16_t promptLabel[] = u"QLabel{font-size: 24px;} QToolTip { font-size: 14pt; }";
inline constexpr char16_t spin[] = u"QSpinBox{font-size: 24px;} QToolTip { font-size: 14pt; }";

} // namespace styles
