/* Orvane's skin: a Qt style sheet applied to the main window at start-up. */

QWidget#Form1 {
    background-color: #eef2f7;
}

QGroupBox#Frame1 {
    background-color: #eef2f7;
    border: 1px solid #b8c4d6;
    border-radius: 4px;
    margin-top: 8px;
    color: #1f3a60;
}

QGroupBox#Frame1::title {
    subcontrol-origin: margin;
    left: 8px;
    padding: 0 3px;
}

QPushButton {
    color: #ffffff;
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3b7ddd, stop:1 #2a5fb0);
    border: 1px solid #1f4f99;
    border-radius: 4px;
    padding: 2px 8px;
}

QPushButton:hover {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5592ea, stop:1 #3570c4);
}

QPushButton:pressed {
    background-color: #24518f;
}

QPushButton:focus {
    border: 1px solid #0d2d5e;
}

QPushButton#PushButton2 {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2fa35b, stop:1 #21804a);
    border: 1px solid #1a6a3c;
}

QPushButton#PushButton2:hover {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3cbb6b, stop:1 #279455);
}

QTreeWidget#ListView1 {
    background-color: #ffffff;
    alternate-background-color: #f5f8fc;
    border: 1px solid #b8c4d6;
    selection-background-color: #2a5fb0;
    selection-color: #ffffff;
}

QHeaderView::section {
    background-color: #dde5f0;
    color: #1f3a60;
    border: none;
    border-bottom: 1px solid #b8c4d6;
    padding: 2px 4px;
}

QLineEdit#Text1 {
    background-color: #ffffff;
    border: 1px solid #b8c4d6;
    border-radius: 3px;
    padding: 1px 4px;
}

QProgressBar#ProgressBar1 {
    background-color: #ffffff;
    border: 1px solid #b8c4d6;
    border-radius: 4px;
    color: #1f3a60;
    text-align: center;
}

QProgressBar#ProgressBar1::chunk {
    background-color: #8fd19e;
    border-radius: 3px;
}
