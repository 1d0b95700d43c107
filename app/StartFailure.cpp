#include "StartFailure.h"

QString StartFailure::StatusText(int code) {
    switch (code) {
        case 1001:
        case 1002:
            return tr("没有找到支持的无线网卡");
        case 1003:
        case 1004:
            return tr("请先开启无线网卡");
        case 1005:
            return tr("无效的WiFi名称");
        case 1006:
            return tr("无效的WiFi密码");
        case 1007:
            return tr("开启失败");
        case 1102:
            return tr("设备驱动未安装好");
        default:
            return tr("WiFi开启失败(%1)").arg(code);
    }
}

QString StartFailure::Cause(int code) {
    switch (code) {
        case 1000:
            return tr("开启过程被中断（已关闭或内部出错）。请再点一次开启按钮。");
        case 1001:
        case 1002:
            return tr(
                "没有找到能开热点的无线网卡。请插入或启用一块支持热点（AP 模式）的无线网卡，"
                "并装好它的驱动。");
        case 1003:
        case 1004:
            return tr("无线网卡处于关闭状态（飞行模式或无线开关）。请打开无线网卡后再试。");
        case 1005:
            return tr("无线网卡不接受这个WiFi名称。请换一个只含字母、数字的名称。");
        case 1006:
            return tr("无线网卡不接受这个密码。请换一个8~32位的字母或数字密码。");
        case 1007:
            return tr("无线网卡拒绝开启热点。请重新插拔或禁用再启用无线网卡，然后再试。");
        case 1009:
            return tr("热点已建立，但找不到承载它的虚拟网卡。请更新无线网卡驱动后再试。");
        case 1010:
            return tr(
                "这台电脑上没有可用的开热点方式。请确认无线网卡的驱动支持承载网络或 AP 模式。");
        case 1102:
            return tr("共享上网所需的驱动没有装好。请重新安装驱动后再试。");
        case 1201:
            return tr(
                "无法启动网络共享组件。请确认“Internet 连接共享”服务可以启动，或安装共享驱动。");
        case 1203:
            return tr(
                "无法把电脑的上网连接共享给热点。请确认电脑已连上网络，且没有别的程序占用共享。");
        case 1401:
            return tr(
                "无法启动给手机分配地址的服务（端口 67 可能被占用）。请关闭其他热点或 DHCP "
                "程序后再试。");
        case 1500:
            return tr("无法读取电脑的网络连接列表。请重启电脑后再试。");
        case 1502:
            return tr("无法给热点网卡设置地址。请确认没有其他程序在修改这块网卡，然后再试。");
        case 1700:
            return tr("热点正在开启或关闭。请稍等片刻再试。");
        case 5023:
            return tr(
                "无线网卡当前的状态不允许开热点（可能正被别的热点程序使用）。请关闭其他热点程序，"
                "或禁用再启用无线网卡后再试。");
        case 50:
            return tr("无线网卡或它的驱动不支持开热点。请更新驱动或换一块网卡。");
        case 5:
            return tr("权限不足。请以管理员（root）身份运行本程序。");
        case 6:
        case 1062:
            return tr("系统的无线服务没有运行。请启动无线服务（WLAN AutoConfig）后再试。");
        case 2:
            return tr("缺少开热点所需的系统组件。请安装无线网卡驱动和热点组件后再试。");
        default:
            return tr("热点没能开启（错误代码 %1）。请重启无线网卡或电脑后再试。").arg(code);
    }
}

QString StartFailure::Cause(int code, const QString& detail) {
    const QString cause = Cause(code);
    return detail.isEmpty() ? cause : cause + "\n" + detail;
}
